#include "store/ClipIdentity.h"

#include <cstdint>

namespace orv {

namespace ClipIdentity {

namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9') {
        return u - u'0';
    }
    if (u >= u'a' && u <= u'f') {
        return u - u'a' + 10;
    }
    if (u >= u'A' && u <= u'F') {
        return u - u'A' + 10;
    }
    return -1;
}

}  // namespace

std::optional<RGBA> parseHex(QStringView text) {
    const QStringView trimmed = text.trimmed();
    if (!trimmed.startsWith(u'#')) {
        return std::nullopt;
    }
    const QStringView digits = trimmed.mid(1);
    // More than eight digits can never become six or eight; stop before reading them all.
    if (digits.isEmpty() || digits.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t number = 0;
    for (QChar c : digits) {
        const int d = hexDigit(c);
        if (d < 0) {
            return std::nullopt;
        }
        number = (number << 4) | static_cast<std::uint32_t>(d);
        // Short forms write each digit twice.
        if (digits.size() == 3 || digits.size() == 4) {
            number = (number << 4) | static_cast<std::uint32_t>(d);
        }
    }
    const qsizetype length =
        (digits.size() == 3 || digits.size() == 4) ? digits.size() * 2 : digits.size();
    const auto byte = [number](int shift) { return ((number >> shift) & 0xFF) / 255.0; };
    if (length == 6) {
        return RGBA{byte(16), byte(8), byte(0), 1.0};
    }
    if (length == 8) {
        return RGBA{byte(24), byte(16), byte(8), byte(0)};
    }
    return std::nullopt;
}

QString imageValue(const QByteArray& data, int width, int height) {
    std::uint32_t hash = 2166136261u;
    for (const char byte : data) {
        hash ^= static_cast<unsigned char>(byte);
        hash *= 16777619u;
    }
    return QStringLiteral("image:%1:%2x%3:%4")
        .arg(QString::number(hash, 36))
        .arg(width)
        .arg(height)
        .arg(data.size());
}

}  // namespace ClipIdentity

}  // namespace orv
