#pragma once

#include "platform/Pasteboard.h"
#include "platform/x11/X11SelectionReader.h"

#include <QClipboard>
#include <QObject>

namespace orv {

// One of the desktop's selections, CLIPBOARD or PRIMARY: written and watched through Qt; read for
// the history on a connection of the reader's own under X11 (Qt's requests would hold the main
// thread), or from a copy of Qt's in-process data elsewhere.
class SystemPasteboard : public QObject, public Pasteboard {
    Q_OBJECT

public:
    explicit SystemPasteboard(QClipboard* clipboard, QClipboard::Mode mode = QClipboard::Clipboard,
                              QObject* parent = nullptr);

    qint64 changeCount() const override { return m_changeCount; }
    // The count itself moves only on Qt's change notice (XFixes).
    bool announcesChanges() const override { return true; }
    QStringList formats() const override;
    QByteArray data(const QString& mimeType) const override;
    void write(const PasteboardContents& contents) override;
    std::shared_ptr<ReadablePasteboard> reader() const override;

    // How long and how much a read for the history may take under X11.
    SelectionReadLimits readLimits;

private:
    void ownerChanged();

    QClipboard* m_clipboard;
    QClipboard::Mode m_mode;
    qint64 m_changeCount = 0;
    bool m_writing = false;
};

}  // namespace orv
