#include "platform/SelectionReadLimits.h"

#include "platform/MimeTypes.h"

#include <QStringDecoder>

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

const char* whyNotText(QByteArrayView bytes, bool utf8, bool truncated) {
    if (bytes.contains('\0')) {
        return "it holds a NUL byte";
    }
    if (!utf8) {
        return nullptr;
    }
    // Stateful when cut: a sequence left open at the end is kept back, not an error.
    QStringDecoder decoder(QStringDecoder::Utf8, truncated ? QStringDecoder::Flag::Default
                                                           : QStringDecoder::Flag::Stateless);
    (void)QString(decoder.decode(bytes));
    if (decoder.hasError()) {
        return "it is not UTF-8";
    }
    return nullptr;
}

}  // namespace orv
