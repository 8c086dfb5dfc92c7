#include "platform/MimeTypes.h"

#include <QtEndian>

namespace orv {

namespace MimeTypes {

QByteArray encodeColor(const QRgba64& rgba) {
    QByteArray bytes(8, '\0');
    const quint16 values[] = {rgba.red(), rgba.green(), rgba.blue(), rgba.alpha()};
    for (int i = 0; i < 4; ++i) {
        qToUnaligned(values[i], bytes.data() + 2 * i);
    }
    return bytes;
}

std::optional<QRgba64> decodeColor(const QByteArray& bytes) {
    if (bytes.size() < 8) {
        return std::nullopt;
    }
    const auto value = [&bytes](int i) {
        return qFromUnaligned<quint16>(bytes.constData() + 2 * i);
    };
    return QRgba64::fromRgba64(value(0), value(1), value(2), value(3));
}

}  // namespace MimeTypes

}  // namespace orv
