#pragma once

#include "platform/Pasteboard.h"

// A clipboard in memory: another application's copy and our own writes each count one change.
class InMemoryPasteboard : public Pasteboard {
public:
    qint64 changeCount() const override { return m_changeCount; }
    QStringList formats() const override { return m_contents.keys(); }
    QByteArray data(const QString& mimeType) const override {
        ++reads;
        return m_contents.value(mimeType);
    }
    void write(const PasteboardContents& contents) override {
        m_contents = contents;
        ++m_changeCount;
        ++writes;
    }

    // Another application copies.
    void copy(const PasteboardContents& contents) {
        m_contents = contents;
        ++m_changeCount;
    }
    const PasteboardContents& contents() const { return m_contents; }

    mutable int reads = 0;
    int writes = 0;

private:
    PasteboardContents m_contents;
    qint64 m_changeCount = 0;
};
