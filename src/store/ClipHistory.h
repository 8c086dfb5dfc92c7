#pragma once

#include "store/Clip.h"
#include "store/ClipKind.h"

#include <QByteArray>
#include <QDateTime>
#include <QFuture>
#include <QList>
#include <QObject>
#include <QString>

#include <optional>
#include <stop_token>

namespace orv {

// What a write did to the list, for those that show it. Several writes announced at once are
// announced as the most that any of them did.
enum class HistoryChange { updated, removed, cleared };

// What the model asks of the history. Each operation runs off the calling thread and returns a
// future that fails with the error to show (Error, Error).
//
// Every write that lands is announced (`changed`, on the thread the history lives in), before its
// future finishes: one awaited through StoreOutcome resumes after those that follow the history
// have started to. A capture stored (upsert, recordImage) is announced with the prune that follows
// it, so that the list it brings is read once, within its limits.
class ClipHistory : public QObject {
    Q_OBJECT

public:
    ~ClipHistory() override = default;

    // Inserts a clip or refreshes the row with the same value: the row keeps its id, pin and
    // (unless a new one is given) its image path, and takes the new time, html, source and kind.
    // Gives the row's id.
    virtual QFuture<qint64> upsert(ClipKind kind, const QString& value,
                                   const std::optional<QString>& html,
                                   const std::optional<QString>& imagePath,
                                   const std::optional<QString>& source,
                                   const QDateTime& createdAt) = 0;
    // Stores PNG bytes as an image clip; an image already stored is only refreshed. Gives the
    // row's id.
    virtual QFuture<qint64> recordImage(const QByteArray& data,
                                        const std::optional<QString>& source,
                                        const QDateTime& createdAt) = 0;
    virtual QFuture<void> togglePinned(qint64 id) = 0;
    virtual QFuture<void> deleteClip(qint64 id) = 0;
    virtual QFuture<void> clearUnpinned() = 0;
    // Keeps the newest `maxItems` unpinned clips (at least one) and, with a retention period,
    // drops unpinned clips older than it. Pinned clips neither count nor expire.
    virtual QFuture<void> prune(int maxItems, int retentionDays) = 0;
    // Pinned first, each group newest first, without html. A blank search lists everything;
    // otherwise the clips whose value contains the search text, ignoring case.
    virtual QFuture<QList<Clip>> clips(const QString& matching) = 0;
    // What a list draws, in the order and with the matches of clips(): a text's value is cut to
    // its first Clip::listedCharacters characters (`partial` tells), at most `limit` clips (all
    // when negative). Once `stop` is requested the work ends at the next row with an empty list.
    virtual QFuture<QList<Clip>> listing(const QString& matching, int limit,
                                         std::stop_token stop) = 0;
    // The whole clip, html included.
    virtual QFuture<std::optional<Clip>> clip(qint64 id) = 0;

signals:
    void changed(orv::HistoryChange change);
};

}  // namespace orv
