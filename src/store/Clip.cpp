#include "store/Clip.h"

#include "store/ClipIdentity.h"
#include "store/Graphemes.h"

namespace {

constexpr qsizetype kTitleCharacters = 500;

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
            const QStringList paths = filePaths();
            QString name = lastPathComponent(paths.isEmpty() ? QString() : paths.first());
            if (name.isEmpty()) {
                name = QStringLiteral("Archivo");
            }
            if (paths.size() >= 2) {
                name += QStringLiteral(" (+%1)").arg(paths.size() - 1);
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
