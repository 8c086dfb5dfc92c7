#include "store/Graphemes.h"

#include <QTextBoundaryFinder>

namespace orv {

namespace Graphemes {

QString prefix(const QString& text, qsizetype count) {
    // Every character takes at least one UTF-16 unit.
    if (text.size() <= count) {
        return text;
    }
    if (count <= 0) {
        return {};
    }
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype end = 0;
    for (qsizetype n = 0; n < count; ++n) {
        end = finder.toNextBoundary();
        if (end < 0) {
            return text;
        }
    }
    return text.left(end);
}

}  // namespace Graphemes

}  // namespace orv
