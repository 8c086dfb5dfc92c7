#include "platform/SystemPasteboard.h"

#include <QClipboard>
#include <QMimeData>

SystemPasteboard::SystemPasteboard(QClipboard* clipboard, QObject* parent)
    : QObject(parent), m_clipboard(clipboard) {
    connect(clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == QClipboard::Clipboard) {
            ownerChanged();
        }
    });
}

// While we own the clipboard the notice can only be the echo of our own write, which was counted
// when it was made.
void SystemPasteboard::ownerChanged() {
    if (m_writing || m_clipboard->ownsClipboard()) {
        return;
    }
    ++m_changeCount;
}

QStringList SystemPasteboard::formats() const {
    const QMimeData* mime = m_clipboard->mimeData(QClipboard::Clipboard);
    return mime ? mime->formats() : QStringList();
}

QByteArray SystemPasteboard::data(const QString& mimeType) const {
    const QMimeData* mime = m_clipboard->mimeData(QClipboard::Clipboard);
    return mime ? mime->data(mimeType) : QByteArray();
}

void SystemPasteboard::write(const PasteboardContents& contents) {
    auto* mime = new QMimeData;  // the clipboard takes ownership
    for (auto it = contents.begin(); it != contents.end(); ++it) {
        mime->setData(it.key(), it.value());
    }
    m_writing = true;
    m_clipboard->setMimeData(mime, QClipboard::Clipboard);
    m_writing = false;
    ++m_changeCount;
}
