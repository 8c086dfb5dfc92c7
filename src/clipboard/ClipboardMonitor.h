#pragma once

#include "platform/Pasteboard.h"
#include "platform/Workspace.h"
#include "store/CapturedClip.h"
#include "store/Clip.h"

#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace orv {

// Watches the clipboard and hands each new capture on (`captured`): it reads as soon as the
// pasteboard announces a change; a pasteboard that announces nothing has its change count polled
// every 0.45 s. Several notices of one change make one read. Changes this program made
// itself are marked as suppressed and pass unrecorded.
//
// The contents are read in a worker thread, so that a large transfer or an owner that never
// answers does not hold the main thread; the signals come on the main thread. One read at a time:
// a change seen while reading lets that read finish what its owner still answers (copies made in
// quick succession are each kept while their owners answer) and is read after it.
class ClipboardMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds interval{450};

    ClipboardMonitor(Pasteboard& pasteboard, const Workspace& workspace, QObject* parent = nullptr);
    // Cancels a read in flight and waits for the worker to let it go.
    ~ClipboardMonitor() override;

    // Captures what is on the clipboard now, then follows the pasteboard's notices, or polls where
    // there are none. Starting again restarts.
    void start();
    // Where every change is announced the count moves only with a notice: nothing polls, and an
    // idle program sleeps.
    bool polls() const { return m_timer.isActive(); }
    // One step, on a notice or a tick: at most one capture, of the newest contents.
    void poll();

    qint64 lastChangeCount = 0;
    std::optional<qint64> suppressedChangeCount;
    // Marks the clipboard's current change as this program's own.
    void suppressCurrentChange();
    // Puts a clip on the clipboard as this program's own change, never recorded again. Raises what
    // ClipboardWriter::write raises, the clipboard then unchanged.
    void writeOwn(const Clip& clip);
    void writeOwn(const CapturedClip& clip);

    // A read of the clipboard is going on in the worker.
    bool isReading() const { return m_reading != nullptr; }

signals:
    // A new clip on the clipboard, read and accepted by the reader, as of that change count.
    void captured(const CapturedClip& clip, qint64 changeCount);
    // Nobody owns the clipboard since this change (its owner quit or emptied it), and nothing
    // changed since.
    void emptied(qint64 changeCount);

private:
    // Reads now, or after the read in flight (told that its owner was replaced).
    void read();
    void beginRead();
    void readFinished(std::optional<CapturedClip> clip, bool ownerless);
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
