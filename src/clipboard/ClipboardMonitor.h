#pragma once

#include "platform/Pasteboard.h"
#include "platform/Workspace.h"
#include "store/CapturedClip.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace orv {

// Watches the clipboard by polling its change count and hands each new capture on (`captured`).
// Changes this program made itself are marked as suppressed and pass unrecorded.
//
// The contents are read in a worker thread, so that a large transfer or an owner that never
// answers does not hold the main thread; `captured` comes on the main thread. One read at a
// time: a change seen while reading cancels that read (its contents are gone) and is read after it.
class ClipboardMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds interval{450};

    ClipboardMonitor(Pasteboard& pasteboard, const Workspace& workspace, QObject* parent = nullptr);
    // Cancels a read in flight and waits for the worker to let it go.
    ~ClipboardMonitor() override;

    // Captures what is on the clipboard now, then polls every 0.45 s. Starting again restarts.
    void start();
    // One polling step: at most one capture, of the newest contents.
    void poll();

    qint64 lastChangeCount = 0;
    std::optional<qint64> suppressedChangeCount;
    // Marks the clipboard's current change as this program's own.
    void suppressCurrentChange();

    // A read of the clipboard is going on in the worker.
    bool isReading() const { return m_reading != nullptr; }

signals:
    // A new clip on the clipboard, read and accepted by the reader.
    void captured(const CapturedClip& clip);

private:
    // Reads now, or after the read in flight, which is cancelled.
    void read();
    void beginRead();
    void readFinished(std::optional<CapturedClip> clip);
    // What is being read, or about to be, is no longer on the clipboard.
    void abandonRead();

    Pasteboard& m_pasteboard;
    const Workspace& m_workspace;
    QTimer m_timer;
    std::shared_ptr<ReadablePasteboard> m_reading;
    qint64 m_readingChangeCount = 0;
    bool m_readAgain = false;
    // Last, so that it is gone (its thread joined) before anything the reads use.
    QThreadPool m_worker;
};

}  // namespace orv
