#pragma once

#include "platform/Pasteboard.h"
#include "platform/Workspace.h"
#include "store/CapturedClip.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

// Watches the clipboard by polling its change count and hands each new capture to `onCapture`.
// Changes this program made itself are marked as suppressed and pass unrecorded.
class ClipboardMonitor : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds interval{450};

    ClipboardMonitor(Pasteboard& pasteboard, const Workspace& workspace, QObject* parent = nullptr);

    std::function<void(const CapturedClip&)> onCapture;

    // Captures what is on the clipboard now, then polls every 0.45 s. Starting again restarts.
    void start();
    // One polling step: at most one capture, of the newest contents.
    void poll();

    qint64 lastChangeCount = 0;
    std::optional<qint64> suppressedChangeCount;
    // Marks the clipboard's current change as this program's own.
    void suppressCurrentChange();

private:
    void capture();

    Pasteboard& m_pasteboard;
    const Workspace& m_workspace;
    QTimer m_timer;
};
