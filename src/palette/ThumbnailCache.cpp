#include "palette/ThumbnailCache.h"

#include "preview/ImageDecoding.h"
#include "store/ImageThumbnail.h"

#include <QFutureWatcher>

#include <algorithm>
#include <memory>

namespace orv {

ThumbnailCache::ThumbnailCache(qsizetype byteBudget, QObject* parent)
    : QObject(parent), m_cache(byteBudget) {}

QPixmap ThumbnailCache::thumbnail(const Clip& clip) {
    if (!clip.imagePath) {
        return {};
    }
    const QString path = ImageThumbnail::pathFor(*clip.imagePath);
    if (QPixmap* cached = m_cache.object(path)) {
        return *cached;
    }
    if (!m_loading.contains(path)) {
        load(path);
    }
    return {};
}

void ThumbnailCache::load(const QString& path) {
    ++m_loads;
    m_loading.insert(path);
    auto* watcher = new QFutureWatcher<QImage>(this);
    connect(watcher, &QFutureWatcher<QImage>::finished, this, [this, watcher, path] {
        const QFuture<QImage> future = watcher->future();
        const QImage image = future.resultCount() > 0 ? future.result() : QImage();
        // A missing or broken file is kept as a null picture, so it is not read on every paint.
        auto picture = std::make_unique<QPixmap>(QPixmap::fromImage(image));
        const qsizetype bytes = std::max<qsizetype>(
            1, qsizetype(picture->width()) * picture->height() * std::max(1, picture->depth()) / 8);
        m_cache.insert(path, picture.release(), bytes);
        m_loading.remove(path);
        watcher->deleteLater();
        emit thumbnailLoaded();
    });
    watcher->setFuture(ImageDecoding::readLater(path, decodedSize, Qt::KeepAspectRatioByExpanding));
}

}  // namespace orv
