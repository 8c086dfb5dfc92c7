#include "platform/SelectionReadLimits.h"

#include "platform/MimeTypes.h"

namespace orv {

qsizetype SelectionReadLimits::capFor(const QString& mimeType) const {
    if (mimeType.startsWith(QStringLiteral("image/"))) {
        return imageBytes;
    }
    if (mimeType == MimeTypes::plainText || mimeType == MimeTypes::plainUtf8Text) {
        return textBytes;
    }
    return mimeType == MimeTypes::html ? htmlBytes : otherBytes;
}

bool SelectionReadLimits::cutIsUsable(const QString& mimeType) {
    return mimeType == MimeTypes::plainText || mimeType == MimeTypes::plainUtf8Text ||
           mimeType == MimeTypes::html;
}

}  // namespace orv
