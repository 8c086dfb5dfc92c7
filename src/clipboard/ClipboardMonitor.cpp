#include "clipboard/ClipboardMonitor.h"

#include "clipboard/ClipboardReader.h"
#include "clipboard/ClipboardWriter.h"

namespace orv {

namespace {

// The application that was in front when the change was noticed: the worker must not ask the
// desktop itself (that goes through the main thread's connection).
class FixedWorkspace : public Workspace {
public:
    explicit FixedWorkspace(std::optional<RunningApplication> frontmost)
        : m_frontmost(std::move(frontmost)) {}
    std::optional<RunningApplication> frontmostApplication() const override { return m_frontmost; }
    bool activate(const RunningApplication&) override { return false; }

private:
    std::optional<RunningApplication> m_frontmost;
};

}  // namespace

ClipboardMonitor::ClipboardMonitor(Pasteboard& pasteboard, const Workspace& workspace,
                                   QObject* parent)
    : QObject(parent),
      lastChangeCount(pasteboard.changeCount()),
      m_pasteboard(pasteboard),
      m_workspace(workspace) {
    m_timer.setInterval(interval);
    connect(&m_timer, &QTimer::timeout, this, &ClipboardMonitor::poll);
    m_worker.setMaxThreadCount(1);
}

ClipboardMonitor::~ClipboardMonitor() {
    abandonRead();
    m_worker.waitForDone();
}

void ClipboardMonitor::start() {
    connect(&m_pasteboard.notifier, &PasteboardNotifier::changed, this, &ClipboardMonitor::poll,
            Qt::UniqueConnection);
    m_timer.stop();
    read();
    lastChangeCount = m_pasteboard.changeCount();
    if (!m_pasteboard.announcesChanges()) {
        m_timer.start();
    }
}

void ClipboardMonitor::poll() {
    const qint64 count = m_pasteboard.changeCount();
    if (count == lastChangeCount) {
        return;
    }
    lastChangeCount = count;
    if (suppressedChangeCount == count) {
        abandonRead();
        return;
    }
    read();
}

void ClipboardMonitor::suppressCurrentChange() {
    suppressedChangeCount = m_pasteboard.changeCount();
    lastChangeCount = m_pasteboard.changeCount();
    abandonRead();
}

void ClipboardMonitor::writeOwn(const Clip& clip) {
    ClipboardWriter::write(clip, m_pasteboard);
    suppressCurrentChange();
}

void ClipboardMonitor::writeOwn(const CapturedClip& clip) {
    ClipboardWriter::write(clip, m_pasteboard);
    suppressCurrentChange();
}

void ClipboardMonitor::read() {
    if (m_reading) {
        // Its owner may still answer what it was asked: that copy is kept too.
        m_reading->ownerReplaced();
        m_readAgain = true;
        return;
    }
    beginRead();
}

void ClipboardMonitor::beginRead() {
    m_readingChangeCount = m_pasteboard.changeCount();
    m_reading = m_pasteboard.reader();
    m_worker.start([this, reader = m_reading, front = m_workspace.frontmostApplication()] {
        std::optional<CapturedClip> clip = ClipboardReader::read(*reader, FixedWorkspace(front));
        const bool complete = reader->complete();
        if (!complete) {
            clip.reset();
        }
        const bool ownerless = complete && reader->ownerless();
        QMetaObject::invokeMethod(
            this, [this, clip = std::move(clip), ownerless] { readFinished(clip, ownerless); },
            Qt::QueuedConnection);
    });
}

void ClipboardMonitor::readFinished(std::optional<CapturedClip> clip, bool ownerless) {
    m_reading.reset();
    // Our own write landed while reading: what was read may be our own content.
    const bool overlappedOwnWrite =
        suppressedChangeCount && *suppressedChangeCount > m_readingChangeCount;
    if (clip && !overlappedOwnWrite) {
        emit captured(*clip, m_readingChangeCount);
    } else if (ownerless && m_pasteboard.changeCount() == m_readingChangeCount) {
        emit emptied(m_readingChangeCount);
    }
    if (std::exchange(m_readAgain, false)) {
        beginRead();
    }
}

void ClipboardMonitor::abandonRead() {
    if (m_reading) {
        m_reading->cancel();
    }
    m_readAgain = false;
}

}  // namespace orv
