#include "support/ControllableHistory.h"

#include "store/Error.h"

namespace orv {

ControllableHistory::ControllableHistory()
    : m_store(std::make_unique<HistoryStore>(m_temp.filePath("history.db"),
                                             m_temp.filePath("images"))) {
    connect(m_store.get(), &ClipHistory::changed, this, &ClipHistory::changed);
}

template <typename T>
bool ControllableHistory::fails(const QString& operation, QFuture<T>& failed) {
    ++calls[operation];
    if (!failing.contains(operation)) {
        return false;
    }
    QPromise<T> promise;
    failed = promise.future();
    promise.start();
    promise.setException(Error::sqlite(failing.value(operation)));
    promise.finish();
    return true;
}

QFuture<qint64> ControllableHistory::upsert(ClipKind kind, const QString& value,
                                            const std::optional<QString>& html,
                                            const std::optional<QString>& imagePath,
                                            const std::optional<QString>& source,
                                            const QDateTime& createdAt) {
    QFuture<qint64> failed;
    return fails("upsert", failed)
               ? failed
               : m_store->upsert(kind, value, html, imagePath, source, createdAt);
}

QFuture<qint64> ControllableHistory::recordImage(const QByteArray& data,
                                                 const std::optional<QString>& source,
                                                 const QDateTime& createdAt) {
    QFuture<qint64> failed;
    return fails("recordImage", failed) ? failed : m_store->recordImage(data, source, createdAt);
}

QFuture<void> ControllableHistory::togglePinned(qint64 id) {
    QFuture<void> failed;
    return fails("togglePinned", failed) ? failed : m_store->togglePinned(id);
}

QFuture<void> ControllableHistory::deleteClip(qint64 id) {
    QFuture<void> failed;
    return fails("deleteClip", failed) ? failed : m_store->deleteClip(id);
}

QFuture<void> ControllableHistory::clearUnpinned() {
    QFuture<void> failed;
    return fails("clearUnpinned", failed) ? failed : m_store->clearUnpinned();
}

QFuture<void> ControllableHistory::prune(int maxItems, int retentionDays) {
    QFuture<void> failed;
    return fails("prune", failed) ? failed : m_store->prune(maxItems, retentionDays);
}

QFuture<std::optional<Clip>> ControllableHistory::clip(qint64 id) {
    QFuture<std::optional<Clip>> failed;
    return fails("clip", failed) ? failed : m_store->clip(id);
}

QFuture<QList<Clip>> ControllableHistory::clips(const QString& matching) {
    QFuture<QList<Clip>> failed;
    return fails("clips", failed) ? failed : held(m_store->clips(matching));
}

QFuture<QList<Clip>> ControllableHistory::listing(const QString& matching, int limit,
                                                  std::stop_token stop) {
    listingStops.push_back(stop);
    QFuture<QList<Clip>> failed;
    return fails("listing", failed) ? failed
                                    : held(m_store->listing(matching, limit, std::move(stop)));
}

QFuture<QList<Clip>> ControllableHistory::held(QFuture<QList<Clip>> real) {
    if (!holdLists) {
        return real;
    }
    // The query runs now; only its answer waits.
    auto promise = std::make_shared<QPromise<QList<Clip>>>();
    promise->start();
    m_held.push_back({real, promise});
    return promise->future();
}

void ControllableHistory::release(int index) {
    Held& held = m_held.at(size_t(index));
    held.promise->addResult(held.real.result());
    held.promise->finish();
}

}  // namespace orv
