#pragma once

#include <QString>

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <optional>

namespace orv {

// Pixel size, thumbnails and PNG encoding of image data. Safe on any thread.
namespace ImageThumbnail {

// Images whose decoded pixels would take more than this are refused: a few hundred bytes of PNG
// can claim a picture of gigabytes.
inline constexpr qint64 kMaximumDecodedBytes = 512LL * 1024 * 1024;

// The pixel size from the image header, without decoding the pixels.
std::optional<QSize> dimensions(const QByteArray& data);

// A PNG whose longer side is at most `maxPixel`, made from the full image with its orientation
// applied and its aspect ratio kept. Smaller images keep their size.
std::optional<QByteArray> png(const QByteArray& data, double maxPixel);

// One decoded image as PNG bytes.
std::optional<QByteArray> pngData(const QImage& image);

// The thumbnail file beside an image: "<image>.thumb.png" for an image ending in ".png"; any other
// path is its own thumbnail.
QString pathFor(const QString& imagePath);

}  // namespace ImageThumbnail

}  // namespace orv
