#include "palette/ThumbnailCache.h"

#include "preview/ImageDecoding.h"
#include "store/ImageThumbnail.h"

#include <QFutureWatcher>

namespace orv {

ThumbnailCache::ThumbnailCache(int maximumEntries, QObject* parent)
    : QObject(parent), m_cache(maximumEntries) {}

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
        m_cache.insert(path, new QPixmap(QPixmap::fromImage(image)));
        m_loading.remove(path);
        watcher->deleteLater();
        emit thumbnailLoaded();
    });
    watcher->setFuture(ImageDecoding::readLater(path, decodedSize, Qt::KeepAspectRatioByExpanding));
}

}  // namespace orv
