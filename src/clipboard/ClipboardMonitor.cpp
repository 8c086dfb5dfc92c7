#include "clipboard/ClipboardMonitor.h"

#include "clipboard/ClipboardReader.h"

ClipboardMonitor::ClipboardMonitor(Pasteboard& pasteboard, const Workspace& workspace,
                                   QObject* parent)
    : QObject(parent),
      lastChangeCount(pasteboard.changeCount()),
      m_pasteboard(pasteboard),
      m_workspace(workspace) {
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &ClipboardMonitor::poll);
}

void ClipboardMonitor::start() {
    m_timer.stop();
    capture();
    lastChangeCount = m_pasteboard.changeCount();
    m_timer.start();
}

void ClipboardMonitor::poll() {
    const qint64 count = m_pasteboard.changeCount();
    if (count == lastChangeCount) {
        return;
    }
    lastChangeCount = count;
    if (suppressedChangeCount == count) {
        return;
    }
    capture();
}

void ClipboardMonitor::suppressCurrentChange() {
    suppressedChangeCount = m_pasteboard.changeCount();
    lastChangeCount = m_pasteboard.changeCount();
}

void ClipboardMonitor::capture() {
    if (auto clip = ClipboardReader::read(m_pasteboard, m_workspace); clip && onCapture) {
        onCapture(*clip);
    }
}
