#pragma once

#include "store/Clip.h"
#include "store/ClipKind.h"

#include <QByteArray>
#include <QDateTime>
#include <QFuture>
#include <QList>
#include <QString>
#include <QThreadPool>

#include <memory>
#include <optional>

// The clipboard history on disk: one SQLite table `clips` and a folder of image files.
//
// Every operation runs on the store's own worker thread, one at a time and in the order asked
// for; each returns a future that fails with StoreError (database) or FileError (image files and
// folders). The connection stays open for the life of the store.
class HistoryStore {
public:
    // Larger images are not recorded.
    static constexpr qint64 maximumImageBytes = 20'971'520;
    static constexpr double thumbnailMaxPixel = 360;

    // Creates both folders (private to the user), opens or creates the database (private too) and
    // its table. Raises StoreError or FileError; a file that is not a database is left untouched.
    HistoryStore(const QString& databasePath, const QString& imageDirectory);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Absolute and normalised.
    const QString& imageDirectory() const;

    // Inserts a clip or refreshes the row with the same value: the row keeps its id, pin and
    // (unless a new one is given) its image path, and takes the new time, html, source and kind.
    QFuture<void> upsert(ClipKind kind, const QString& value, const std::optional<QString>& html,
                         const std::optional<QString>& imagePath,
                         const std::optional<QString>& source, const QDateTime& createdAt);
    // Stores PNG bytes as an image file with a thumbnail beside it; an image already stored is
    // only refreshed. Empty data and images over maximumImageBytes are dropped silently.
    QFuture<void> recordImage(const QByteArray& data, const std::optional<QString>& source,
                              const QDateTime& createdAt);
    QFuture<void> togglePinned(qint64 id);
    QFuture<void> deleteClip(qint64 id);
    QFuture<void> clearUnpinned();
    // Keeps the newest `maxItems` unpinned clips (at least one) and, with a retention period,
    // drops unpinned clips older than it. Pinned clips neither count nor expire.
    QFuture<void> prune(int maxItems, int retentionDays);
    // Pinned first, each group newest first, without html. A blank search lists everything;
    // otherwise values containing the search text, ignoring case.
    QFuture<QList<Clip>> clips(const QString& matching);
    QFuture<std::optional<Clip>> clip(qint64 id);
    QFuture<void> close();

private:
    class Isolated;

    template <typename Operation>
    auto enqueue(Operation operation);

    std::unique_ptr<Isolated> m_isolated;
    QThreadPool m_worker;
};
