#include "support/TestImages.h"

#include <QBuffer>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QtEndian>

#include <array>

namespace orv {

namespace TestImages {

namespace {

quint32 crc32(const QByteArray& bytes) {
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        c = table[(c ^ static_cast<unsigned char>(byte)) & 0xFF] ^ (c >> 8);
    }
    return c ^ 0xFFFFFFFFu;
}

QByteArray bigEndian32(quint32 value) {
    QByteArray out(4, '\0');
    qToBigEndian(value, out.data());
    return out;
}

QByteArray chunk(const char* type, const QByteArray& data) {
    const QByteArray typed = QByteArray(type) + data;
    return bigEndian32(quint32(data.size())) + typed + bigEndian32(crc32(typed));
}

QByteArray encode(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.write(image);
    return bytes;
}

}  // namespace

QByteArray png(int width, int height, QColor color) {
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return encode(image, "png");
}

QByteArray pngClaiming(quint32 width, quint32 height) {
    QByteArray header = bigEndian32(width) + bigEndian32(height);
    header += char(8);  // bit depth
    header += char(6);  // RGBA
    header += QByteArray(3, '\0');
    // qCompress prefixes the zlib stream with its own 4-byte length.
    const QByteArray zeros = qCompress(QByteArray(1 << 20, '\0'), 9).mid(4);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) + chunk("IDAT", zeros) +
           chunk("IEND", {});
}

QByteArray jpegWithOrientation(int width, int height, quint16 orientation) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::blue);
    const QByteArray jpeg = encode(image, "jpg");
    QByteArray tiff("MM\0\x2a\0\0\0\x08", 8);
    tiff += QByteArray("\0\x01", 2);                    // one entry
    tiff += QByteArray("\x01\x12\0\x03\0\0\0\x01", 8);  // Orientation, SHORT, count 1
    tiff += char(orientation >> 8);
    tiff += char(orientation & 0xFF);
    tiff += QByteArray(2, '\0');
    tiff += QByteArray(4, '\0');  // no next directory
    const QByteArray payload = QByteArray("Exif\0\0", 6) + tiff;
    QByteArray segment("\xFF\xE1", 2);
    segment += char((payload.size() + 2) >> 8);
    segment += char((payload.size() + 2) & 0xFF);
    segment += payload;
    return jpeg.left(2) + segment + jpeg.mid(2);
}

QByteArray withText(const QByteArray& png, const QByteArray& text) {
    constexpr qsizetype kAfterHeader = 8 + 25;  // signature, then the IHDR chunk
    return png.left(kAfterHeader) + chunk("tEXt", QByteArray("Comment\0", 8) + text) +
           png.mid(kAfterHeader);
}

QImage decode(const QByteArray& bytes) {
    return QImage::fromData(bytes);
}

QImage photo(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(11);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grain = int(random.bounded(12));
            line[x] = qRgb((x / 16 + grain) & 0xFF, (y / 12 + grain) & 0xFF,
                           ((x + y) / 28 + grain) & 0xFF);
        }
    }
    return image;
}

QByteArray color16(quint16 r, quint16 g, quint16 b, quint16 a) {
    QByteArray bytes(8, '\0');
    const quint16 values[] = {r, g, b, a};
    for (int i = 0; i < 4; ++i) {
        qToUnaligned(values[i], bytes.data() + 2 * i);
    }
    return bytes;
}

}  // namespace TestImages

}  // namespace orv
