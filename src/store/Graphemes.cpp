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
    // The finder analyses all it is given, so it is given a window of the start, widened until
    // the characters fit: a boundary before the window's end is a boundary of the whole text too
    // (grapheme rules look back, never past the next character), the window's end is not.
    for (qsizetype window = count * 4 + 16;; window *= 2) {
        const bool whole = window >= text.size();
        const QString part = whole ? text : text.left(window);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, part);
        qsizetype end = 0;
        qsizetype n = 0;
        for (; n < count; ++n) {
            end = finder.toNextBoundary();
            if (end < 0 || (!whole && end >= part.size())) {
                break;
            }
        }
        if (n == count) {
            return text.left(end);
        }
        if (whole) {
            return text;
        }
    }
}

}  // namespace Graphemes

}  // namespace orv
