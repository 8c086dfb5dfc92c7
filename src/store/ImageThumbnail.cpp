#include "store/ImageThumbnail.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cmath>

namespace orv {

namespace ImageThumbnail {

namespace {

bool decodable(const QSize& size) {
    if (!size.isValid() || size.isEmpty()) {
        return false;
    }
    return qint64(size.width()) * size.height() * 4 <= kMaximumDecodedBytes;
}

QSize fitted(const QSize& size, double maxPixel) {
    const int longer = std::max(size.width(), size.height());
    if (longer <= maxPixel) {
        return size;
    }
    const double scale = maxPixel / longer;
    return QSize(std::max(1, int(std::lround(size.width() * scale))),
                 std::max(1, int(std::lround(size.height() * scale))));
}

}  // namespace

std::optional<QSize> dimensions(const QByteArray& data) {
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead()) {
        return std::nullopt;
    }
    const QSize size = reader.size();
    if (!size.isValid()) {
        return std::nullopt;
    }
    return size;
}

std::optional<QByteArray> png(const QByteArray& data, double maxPixel) {
    if (!(maxPixel >= 1)) {
        return std::nullopt;
    }
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!decodable(size)) {
        return std::nullopt;
    }
    reader.setAllocationLimit(int(kMaximumDecodedBytes / (1024 * 1024)));
    reader.setAutoTransform(true);
    // Scaling keeps the ratio, so fitting the stored orientation fits the rotated one as well.
    const QSize target = fitted(size, maxPixel);
    if (target != size) {
        reader.setScaledSize(target);
    }
    QImage thumbnail;
    if (!reader.read(&thumbnail)) {
        return std::nullopt;
    }
    // The header can understate the picture: a GIF reports its first frame, then decodes its
    // whole canvas.
    if (std::max(thumbnail.width(), thumbnail.height()) > maxPixel) {
        thumbnail = thumbnail.scaled(fitted(thumbnail.size(), maxPixel), Qt::IgnoreAspectRatio,
                                     Qt::SmoothTransformation);
    }
    return pngData(thumbnail);
}

std::optional<QByteArray> pngData(const QImage& image) {
    if (image.isNull()) {
        return std::nullopt;
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(image)) {
        return std::nullopt;
    }
    return bytes;
}

QString pathFor(const QString& imagePath) {
    if (imagePath.endsWith(u".png")) {
        return imagePath.chopped(4) + QStringLiteral(".thumb.png");
    }
    return imagePath;
}

}  // namespace ImageThumbnail

}  // namespace orv
