#pragma once

#include "store/Clip.h"

#include <QCache>
#include <QPixmap>
#include <QString>

// The thumbnails of image clips, each file decoded once and kept (up to a bound) instead of being
// read on every paint. The full-size image is never read here.
class ThumbnailCache {
public:
    explicit ThumbnailCache(int maximumEntries = 400) : m_cache(maximumEntries) {}

    // "<image>.thumb.png" beside an image ending in ".png"; any other path is used as it is.
    static QString thumbnailPath(const QString& imagePath);

    // Null when the clip has no image path or the thumbnail is missing or unreadable.
    QPixmap thumbnail(const Clip& clip);

    int decodes() const { return m_decodes; }

private:
    QCache<QString, QPixmap> m_cache;
    int m_decodes = 0;
};
