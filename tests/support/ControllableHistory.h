#pragma once

#include "store/HistoryStore.h"

#include <QHash>
#include <QPromise>
#include <QTemporaryDir>

#include <memory>
#include <stop_token>
#include <vector>

namespace orv {

// A real history in a temporary folder whose operations a test can make fail, count, or hold back
// to finish in an order of its choosing.
class ControllableHistory : public ClipHistory {
public:
    ControllableHistory();

    HistoryStore& real() { return *m_store; }

    // Operations by name ("upsert", "recordImage", "togglePinned", "deleteClip", "clearUnpinned",
    // "prune", "clips", "listing", "clip"): a message here makes them fail with
    // Error(message).
    QHash<QString, QString> failing;
    QHash<QString, int> calls;
    // What each listing was told to watch, in order.
    std::vector<std::stop_token> listingStops;
    // While set, list requests wait until release() is called for them.
    bool holdLists = false;
    // Finishes the held list request number `index` (in the order they were made).
    void release(int index);
    int heldCount() const { return int(m_held.size()); }

    QFuture<qint64> upsert(ClipKind kind, const QString& value, const std::optional<QString>& html,
                           const std::optional<QString>& imagePath,
                           const std::optional<QString>& source,
                           const QDateTime& createdAt) override;
    QFuture<qint64> recordImage(const QByteArray& data, const std::optional<QString>& source,
                                const QDateTime& createdAt) override;
    QFuture<void> togglePinned(qint64 id) override;
    QFuture<void> deleteClip(qint64 id) override;
    QFuture<void> clearUnpinned() override;
    QFuture<void> prune(int maxItems, int retentionDays) override;
    QFuture<QList<Clip>> clips(const QString& matching) override;
    QFuture<QList<Clip>> listing(const QString& matching, int limit, std::stop_token stop) override;
    QFuture<std::optional<Clip>> clip(qint64 id) override;

private:
    QFuture<QList<Clip>> held(QFuture<QList<Clip>> real);
    template <typename T>
    QFuture<T> pass(const QString& operation, QFuture<T> (HistoryStore::*real)());
    template <typename T>
    bool fails(const QString& operation, QFuture<T>& failed);

    QTemporaryDir m_temp;
    std::unique_ptr<HistoryStore> m_store;
    struct Held {
        QFuture<QList<Clip>> real;
        std::shared_ptr<QPromise<QList<Clip>>> promise;
    };
    std::vector<Held> m_held;
};

}  // namespace orv
