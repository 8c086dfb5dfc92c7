#include "preview/ImageDecoding.h"

#include "logging/Logging.h"
#include "store/ImageThumbnail.h"

#include <QImageReader>
#include <QtConcurrentRun>

namespace orv {

namespace {

// `size` shrunk to `bound` in the given mode; unchanged when it is small enough already.
QSize shrunk(const QSize& size, const QSize& bound, Qt::AspectRatioMode mode) {
    const QSize target = size.scaled(bound, mode).expandedTo(QSize(1, 1));
    return target.width() < size.width() ? target : size;
}

}  // namespace

namespace ImageDecoding {

QImage read(const QString& path, const QSize& bound, Qt::AspectRatioMode mode) {
    QImageReader reader(path);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() ||
        qint64(size.width()) * size.height() * 4 > ImageThumbnail::kMaximumDecodedBytes) {
        qCDebug(lcImages) << "not decoded:" << path << size << reader.errorString();
        return {};
    }
    reader.setAllocationLimit(int(ImageThumbnail::kMaximumDecodedBytes / (1024 * 1024)));
    // The reader scales the picture as stored, before turning it.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize target = shrunk(size, turned ? bound.transposed() : bound, mode);
    if (target != size) {
        reader.setScaledSize(target);
    }
    QImage image;
    if (!reader.read(&image)) {
        qCDebug(lcImages) << "not decoded:" << path << reader.errorString();
        return {};
    }
    // The header can understate the picture: a GIF reports its first frame, then decodes its
    // whole canvas.
    const QSize shown = shrunk(image.size(), bound, mode);
    if (shown != image.size()) {
        image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    return image;
}

QFuture<QImage> readLater(const QString& path, const QSize& bound, Qt::AspectRatioMode mode) {
    return QtConcurrent::run(read, path, bound, mode);
}

}  // namespace ImageDecoding

}  // namespace orv
