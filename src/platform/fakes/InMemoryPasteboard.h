#pragma once

#include "platform/Pasteboard.h"

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <memory>

namespace orv {

// A clipboard in memory: another application's copy and our own writes each count one change.
// Its readers read the live contents from any thread, as a reader of a real clipboard would; a
// test can hold them before their first read to see what happens while a read is going on.
class InMemoryPasteboard : public Pasteboard {
public:
    qint64 changeCount() const override { return m_changeCount; }
    QStringList formats() const override { return contents().keys(); }
    QByteArray data(const QString& mimeType) const override {
        ++m_shared->reads;
        return contents().value(mimeType);
    }
    void write(const PasteboardContents& contents) override {
        setContents(contents);
        ++writes;
    }
    std::shared_ptr<ReadablePasteboard> reader() const override {
        ++readers;
        return std::make_shared<Reader>(m_shared);
    }

    // Another application copies.
    void copy(const PasteboardContents& contents) { setContents(contents); }
    PasteboardContents contents() const {
        const QMutexLocker lock(&m_shared->mutex);
        return m_shared->contents;
    }

    // Readers wait before their first read until released (or cancelled, which leaves them
    // incomplete).
    void holdReads(bool hold) {
        const QMutexLocker lock(&m_shared->mutex);
        m_shared->held = hold;
        m_shared->changed.wakeAll();
    }

    // Types read by this object and its readers.
    int reads() const { return m_shared->reads; }
    int writes = 0;
    mutable int readers = 0;

private:
    struct Shared {
        QMutex mutex;
        QWaitCondition changed;
        PasteboardContents contents;
        bool held = false;
        std::atomic<int> reads = 0;
    };

    class Reader : public ReadablePasteboard {
    public:
        explicit Reader(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}
        QStringList formats() const override {
            QMutexLocker lock(&m_shared->mutex);
            while (m_shared->held && !m_cancelled) {
                m_shared->changed.wait(&m_shared->mutex);
            }
            return m_cancelled ? QStringList() : m_shared->contents.keys();
        }
        QByteArray data(const QString& mimeType) const override {
            const QMutexLocker lock(&m_shared->mutex);
            ++m_shared->reads;
            return m_cancelled ? QByteArray() : m_shared->contents.value(mimeType);
        }
        bool complete() const override { return !m_cancelled; }
        void cancel() override {
            const QMutexLocker lock(&m_shared->mutex);
            m_cancelled = true;
            m_shared->changed.wakeAll();
        }

    private:
        std::shared_ptr<Shared> m_shared;
        std::atomic_bool m_cancelled = false;
    };

    void setContents(const PasteboardContents& contents) {
        const QMutexLocker lock(&m_shared->mutex);
        m_shared->contents = contents;
        ++m_changeCount;
    }

    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    qint64 m_changeCount = 0;
};

}  // namespace orv
