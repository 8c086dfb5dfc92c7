#pragma once

#include "platform/Pasteboard.h"

#include <QObject>

class QClipboard;

// The desktop's CLIPBOARD selection, through Qt.
class SystemPasteboard : public QObject, public Pasteboard {
    Q_OBJECT

public:
    explicit SystemPasteboard(QClipboard* clipboard, QObject* parent = nullptr);

    qint64 changeCount() const override { return m_changeCount; }
    QStringList formats() const override;
    QByteArray data(const QString& mimeType) const override;
    void write(const PasteboardContents& contents) override;

private:
    void ownerChanged();

    QClipboard* m_clipboard;
    qint64 m_changeCount = 0;
    bool m_writing = false;
};
