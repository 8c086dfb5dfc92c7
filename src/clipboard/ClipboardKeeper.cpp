#include "clipboard/ClipboardKeeper.h"

#include "logging/Logging.h"

namespace orv {

ClipboardKeeper::ClipboardKeeper(Pasteboard& pasteboard, ClipboardMonitor& monitor, QObject* parent)
    : QObject(parent), m_pasteboard(pasteboard), m_monitor(monitor) {
    connect(&monitor, &ClipboardMonitor::emptied, this, &ClipboardKeeper::emptied);
}

void ClipboardKeeper::recorded(const CapturedClip& clip, qint64 changeCount) {
    m_last = Recorded{clip, changeCount};
}

void ClipboardKeeper::setPaused(bool paused) {
    m_paused = paused;
}

void ClipboardKeeper::emptied(qint64 changeCount) {
    // Each change of owner counts one: the owner that quit is the one recorded only if its change
    // is the one just before.
    if (!m_last || m_last->changeCount != changeCount - 1 || m_paused ||
        m_pasteboard.changeCount() != changeCount) {
        return;
    }
    try {
        m_monitor.writeOwn(m_last->clip);
    } catch (const std::exception& error) {
        qCWarning(lcKeeper) << "the last clip could not go back on the clipboard:" << error.what();
        return;
    }
    qCInfo(lcKeeper) << "the clipboard's owner quit; its last clip is back on the clipboard";
    emit restored(m_last->clip);
}

}  // namespace orv
