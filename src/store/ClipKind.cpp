#include "store/ClipKind.h"

namespace orv {

QString rawValue(ClipKind kind) {
    switch (kind) {
        case ClipKind::text:
            return QStringLiteral("text");
        case ClipKind::image:
            return QStringLiteral("image");
        case ClipKind::color:
            return QStringLiteral("color");
        case ClipKind::files:
            return QStringLiteral("files");
    }
    return QStringLiteral("text");
}

std::optional<ClipKind> clipKindFromRaw(QStringView raw) {
    for (ClipKind kind : {ClipKind::text, ClipKind::image, ClipKind::color, ClipKind::files}) {
        if (raw == rawValue(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

}  // namespace orv
