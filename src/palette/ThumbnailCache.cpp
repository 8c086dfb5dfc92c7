#include "palette/ThumbnailCache.h"

#include <QFileInfo>

QString ThumbnailCache::thumbnailPath(const QString& imagePath) {
    if (imagePath.endsWith(u".png")) {
        return imagePath.chopped(4) + QStringLiteral(".thumb.png");
    }
    return imagePath;
}

QPixmap ThumbnailCache::thumbnail(const Clip& clip) {
    if (!clip.imagePath) {
        return {};
    }
    const QString path = thumbnailPath(*clip.imagePath);
    if (QPixmap* cached = m_cache.object(path)) {
        return *cached;
    }
    QPixmap pixmap;
    if (QFileInfo(path).isFile()) {
        ++m_decodes;
        pixmap.load(path);
    }
    // A missing or broken file is remembered too, so it is not retried on every paint.
    m_cache.insert(path, new QPixmap(pixmap));
    return pixmap;
}
