#pragma once

#include "clipboard/ClipboardMonitor.h"
#include "platform/Pasteboard.h"
#include "store/CapturedClip.h"

#include <QObject>

#include <optional>

namespace orv {

// Keeps the clipboard when the application that owned it quits and takes its contents along: the
// clipboard is left without owner, and the clip recorded from that owner goes back on it, as our
// own write. Only the change that just ended counts: a copy in between that was not recorded
// (concealed, excluded, made while paused) or another owner taking over leaves nothing to put
// back. Nothing is put back while paused, nor after a clear of our own (not read, so never seen
// as an owner quitting).
class ClipboardKeeper : public QObject {
    Q_OBJECT

public:
    ClipboardKeeper(Pasteboard& pasteboard, ClipboardMonitor& monitor, QObject* parent = nullptr);

    // The capture of this change went into the history.
    void recorded(const CapturedClip& clip, qint64 changeCount);
    void setPaused(bool paused);

signals:
    // The clip is back on the clipboard.
    void restored(const CapturedClip& clip);

private:
    void emptied(qint64 changeCount);

    Pasteboard& m_pasteboard;
    ClipboardMonitor& m_monitor;
    struct Recorded {
        CapturedClip clip;
        qint64 changeCount;
    };
    std::optional<Recorded> m_last;
    bool m_paused = false;
};

}  // namespace orv
