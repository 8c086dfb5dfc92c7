#pragma once

#include "model/PreferencesStore.h"
#include "platform/Scheduler.h"
#include "store/CapturedClip.h"
#include "store/ClipHistory.h"

#include <QCoro/QCoroTask>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QSet>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace orv {

// The capture path: a clip read from the clipboard passes the pause and the exclusions, is stored,
// and the history is pruned to its limits. A capture the history cannot take waits in memory and is
// tried again until it is stored; one that the history keeps refusing while it takes the others is
// dropped with a message. Those still waiting at quit are logged. Main thread only.
class ClipRecorder : public QObject {
    Q_OBJECT

public:
    // Captures that wait are bounded, the newest kept (pictures can be 20 MiB each); they are
    // tried again after a delay that doubles up to the longest.
    static constexpr int maximumWaitingCaptures = 100;
    static constexpr qsizetype maximumWaitingBytes = 64 * 1024 * 1024;
    static constexpr std::chrono::milliseconds firstRetryDelay{1000};
    static constexpr std::chrono::milliseconds longestRetryDelay{30000};
    // Passes in which the others were stored and this one not, before it is dropped.
    static constexpr int maximumRefusals = 5;

    ClipRecorder(ClipHistory& history, PreferencesStore& preferences, Scheduler& scheduler,
                 QObject* parent = nullptr);
    ~ClipRecorder() override;

    // The time a capture is stamped with.
    std::function<QDateTime()> clock;

    // Capture is not paused and the application copied from is not excluded.
    bool takes(const CapturedClip& clip) const;
    QCoro::Task<> record(CapturedClip clip);
    // As `record`, resuming once this capture is in the history (with the id of its row) or waits
    // for a retry, or was skipped (nothing): for a caller that must say which. Pruning may still
    // follow.
    QCoro::Task<std::optional<qint64>> recordAndConfirm(CapturedClip clip);

    // Why captures are waiting to be stored, while any are.
    const std::optional<QString>& persistentError() const { return m_persistentError; }

signals:
    // A failure to show: pruning failed, or a capture was given up.
    void failed(const QString& message);
    void persistentErrorChanged();
    // A pass over the waiting captures ended, stored or not.
    void storingEnded();

private:
    struct WaitingCapture {
        CapturedClip clip;
        // Stored with the time it was copied, however late.
        QDateTime copiedAt;
        qsizetype bytes;
        quint64 serial = 0;
        quint64 triedInPass = 0;
        int refusals = 0;
    };
    // The id of the row.
    QFuture<qint64> storeCapture(const CapturedClip& clip, const QDateTime& now);
    // Queues the capture after those waiting, then drops the oldest while there are too many.
    void keepWaiting(WaitingCapture capture);
    void drop(std::deque<WaitingCapture>::iterator capture);
    void dropRefused(bool othersStored, const QString& error);
    bool isWaiting(quint64 serial) const;
    QCoro::Task<> storeWaiting();
    void setPersistentError(const std::optional<QString>& message);

    ClipHistory& m_history;
    PreferencesStore& m_preferences;
    Scheduler& m_scheduler;
    std::optional<QString> m_persistentError;
    std::deque<WaitingCapture> m_waiting;
    qsizetype m_waitingBytes = 0;
    bool m_storing = false;
    // Captures are numbered as they come.
    quint64 m_lastSerial = 0;
    quint64 m_passes = 0;
    // Dropped before they could be stored.
    QSet<quint64> m_lost;
    // The rows of the captures someone waits to have confirmed, by serial.
    QHash<quint64, qint64> m_confirmed;
    std::unique_ptr<Scheduler::Job> m_retryTask;
    std::chrono::milliseconds m_retryDelay = firstRetryDelay;
};

}  // namespace orv
