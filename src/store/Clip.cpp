#include "store/Clip.h"

#include "store/ClipIdentity.h"
#include "store/Graphemes.h"

namespace orv {

namespace {

constexpr qsizetype kTitleCharacters = 500;

// Calls `visit` with each path of a files value, in order, until it returns false. Empty pieces
// (consecutive line feeds) are no paths.
template <typename Visit>
void forEachPath(QStringView value, Visit visit) {
    qsizetype start = 0;
    while (start < value.size()) {
        qsizetype end = value.indexOf(u'\n', start);
        if (end < 0) {
            end = value.size();
        }
        if (end > start && !visit(value.sliced(start, end - start))) {
            return;
        }
        start = end + 1;
    }
}

}  // namespace

QString lastPathComponent(const QString& path) {
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/') {
        --end;
    }
    const QStringView trimmed = QStringView(path).left(end);
    if (trimmed == u"/") {
        return trimmed.toString();
    }
    return trimmed.mid(trimmed.lastIndexOf(u'/') + 1).toString();
}

QString formatCount(qsizetype count) {
    QString digits = QString::number(count);
    const qsizetype sign = count < 0 ? 1 : 0;
    if (digits.size() - sign > 4) {
        for (qsizetype at = digits.size() - 3; at > sign; at -= 3) {
            digits.insert(at, QChar::Nbsp);
        }
    }
    return digits;
}

ClipKind Clip::effectiveKind() const {
    if (kind == ClipKind::text && ClipIdentity::parseHex(value)) {
        return ClipKind::color;
    }
    return kind;
}

QString Clip::listTitle() const {
    switch (kind) {
        case ClipKind::text:
            if (ClipIdentity::parseHex(value)) {
                return value;
            }
            return Graphemes::prefix(value, kTitleCharacters);
        case ClipKind::image:
            if (const auto size = pixelSize()) {
                return QStringLiteral("Imagen · %1×%2").arg(size->width()).arg(size->height());
            }
            return QStringLiteral("Imagen");
        case ClipKind::color:
            return value;
        case ClipKind::files: {
            // Drawn on every paint of the row: the first path and a count, never the whole list.
            QString name = lastPathComponent(filePaths(1).value(0));
            if (name.isEmpty()) {
                name = QStringLiteral("Archivo");
            }
            if (const qsizetype count = fileCount(); count >= 2) {
                name += QStringLiteral(" (+%1)").arg(formatCount(count - 1));
            }
            return name;
        }
    }
    return value;
}

std::optional<QSize> Clip::pixelSize() const {
    const auto pieces = QStringView(value).split(u':', Qt::SkipEmptyParts);
    if (pieces.size() < 4 || pieces.at(0) != u"image") {
        return std::nullopt;
    }
    const auto sides = pieces.at(2).split(u'x', Qt::SkipEmptyParts);
    if (sides.size() != 2) {
        return std::nullopt;
    }
    bool widthOk = false;
    bool heightOk = false;
    const int width = sides.at(0).toInt(&widthOk, 10);
    const int height = sides.at(1).toInt(&heightOk, 10);
    if (!widthOk || !heightOk || width <= 0 || height <= 0) {
        return std::nullopt;
    }
    return QSize(width, height);
}

QStringList Clip::filePaths() const {
    return value.split(u'\n', Qt::SkipEmptyParts);
}

QStringList Clip::filePaths(qsizetype limit) const {
    QStringList paths;
    if (limit <= 0) {
        return paths;
    }
    forEachPath(value, [&](QStringView path) {
        paths.append(path.toString());
        return paths.size() < limit;
    });
    return paths;
}

qsizetype Clip::fileCount() const {
    qsizetype count = 0;
    forEachPath(value, [&](QStringView) {
        ++count;
        return true;
    });
    return count;
}

}  // namespace orv
