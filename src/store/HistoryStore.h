#pragma once

#include "platform/SelectionReadLimits.h"
#include "store/ClipHistory.h"

#include <QByteArray>
#include <QDateTime>
#include <QFuture>
#include <QList>
#include <QString>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <functional>

#include <memory>
#include <mutex>
#include <optional>

namespace orv {

// The clipboard history on disk: one SQLite table `clips` and a folder of image files.
//
// Every operation runs on the store's own worker thread, one at a time and in the order asked
// for; each returns a future that fails with Error (database) or Error (image files and
// folders). The connection stays open for the life of the store and waits a few seconds for a
// lock another process holds. Deleted clips are scrubbed from the database files: at once after
// a delete or a clear, shortly after a prune, and at the latest when the store closes.
//
// Image paths are stored absolute, as written; clips read out of the store carry the file of the
// same name in the image folder when the stored path lies elsewhere (a moved data folder).
class HistoryStore : public ClipHistory {
public:
    static constexpr double thumbnailMaxPixel = 360;

    // Creates both folders (private to the user), opens or creates the database (private too) and
    // its table. Raises Error or Error; a file that is not a database is left untouched.
    HistoryStore(const QString& databasePath, const QString& imageDirectory);
    ~HistoryStore() override;
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Absolute and normalised.
    const QString& imageDirectory() const;

    QFuture<qint64> upsert(ClipKind kind, const QString& value, const std::optional<QString>& html,
                           const std::optional<QString>& imagePath,
                           const std::optional<QString>& source,
                           const QDateTime& createdAt) override;
    // Empty data and images over maximumImageBytes are dropped silently (id 0).
    QFuture<qint64> recordImage(const QByteArray& data, const std::optional<QString>& source,
                                const QDateTime& createdAt) override;
    QFuture<void> togglePinned(qint64 id) override;
    QFuture<void> deleteClip(qint64 id) override;
    QFuture<void> clearUnpinned() override;
    QFuture<void> prune(int maxItems, int retentionDays) override;
    QFuture<QList<Clip>> clips(const QString& matching) override;
    QFuture<QList<Clip>> listing(const QString& matching, int limit, std::stop_token stop) override;
    QFuture<std::optional<Clip>> clip(qint64 id) override;
    QFuture<void> close();

    // Removes image files of the store's own naming ("<UUID>.png", "<UUID>.thumb.png") that no row
    // names, however new: what a crash between writing an image and storing its row, or during a
    // clear, leaves behind. Images are written with their rows under the database's write lock,
    // and this holds it, so no capture on its way (in any instance) loses its file. Anything else
    // in the folder stays, and everything when the folder is a symbolic link. Gives how many
    // files went.
    QFuture<int> removeOrphanImages();

    // Called on the store's worker, with a Spanish message, when the database file was replaced or
    // deleted under the open connection and the store opened what is at its path again. Set before
    // the first operation.
    std::function<void(const QString& message)> onReopened;

    // The file could be opened only for reading (a read-only disk or file): lists and searches
    // work, every change fails. Any thread.
    bool readOnly() const;

private:
    class Isolated;

    template <typename Operation>
    auto enqueue(Operation operation);
    // Worker only: the connection follows the file at the path.
    void followTheFile();
    static std::unique_ptr<Isolated> opened(const QString& databasePath,
                                            const QString& imageDirectory);
    void setIsolated(std::unique_ptr<Isolated> isolated);
    void scrubSoon();
    // Worker: posts the announcement of a write that landed, or joins it to the one on its way.
    void announce(HistoryChange change);

    const QString m_databasePath;
    const QString m_imageDirectory;
    // None while what is at the path cannot be opened.
    std::unique_ptr<Isolated> m_isolated;
    std::atomic_bool m_readOnly;
    std::mutex m_announcing;
    // The announcement posted to the store's thread and not heard yet.
    std::optional<HistoryChange> m_announcement;
    // Jobs are events posted to `m_jobs`, run one at a time in the order posted; the timer, on the
    // worker too, scrubs the log a little after a prune.
    QThread m_worker;
    std::unique_ptr<QObject> m_jobs;
    std::unique_ptr<QTimer> m_scrub;
};

}  // namespace orv
