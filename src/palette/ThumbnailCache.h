#pragma once

#include "store/Clip.h"

#include <QCache>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QSize>
#include <QString>

namespace orv {

// The thumbnails of image clips for the list rows. Each file is read once, off the main thread,
// and kept (up to a memory budget) instead of being read on every paint. The full-size image is
// never read here.
class ThumbnailCache : public QObject {
    Q_OBJECT
public:
    // Rows draw a thumbnail in a 22-point square: decoded just large enough to cover three times
    // that, a few hundred of them take a few megabytes.
    static constexpr QSize decodedSize{66, 66};

    // The pictures kept take at most `byteBudget` bytes, the least recently drawn going first.
    explicit ThumbnailCache(qsizetype byteBudget = 8 * 1024 * 1024, QObject* parent = nullptr);

    // The thumbnail once it has been read. Until then null, and the first call starts reading it;
    // thumbnailLoaded() follows when it lands. Also null when the clip has no image path or the
    // thumbnail is missing or unreadable: such files are remembered and not read again.
    QPixmap thumbnail(const Clip& clip);

    // How many files were read (or tried) so far.
    int loads() const { return m_loads; }
    bool isLoading() const { return !m_loading.isEmpty(); }

signals:
    // A thumbnail, or the news that a file cannot be read, arrived: the rows may draw it now.
    void thumbnailLoaded();

private:
    void load(const QString& path);

    QCache<QString, QPixmap> m_cache;
    QSet<QString> m_loading;
    int m_loads = 0;
};

}  // namespace orv
