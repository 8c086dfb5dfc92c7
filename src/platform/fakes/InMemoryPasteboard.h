#pragma once

#include "platform/Pasteboard.h"

#include <QMutex>
#include <QWaitCondition>

#include <atomic>
#include <memory>

namespace orv {

// A clipboard in memory: another application's copy and our own writes each count one change, and
// other applications' changes are announced (unless `announceChanges` is off). Each copy has an
// owner, which quits when replaced (as xclip does) or keeps running and still answers those who
// read it. A reader reads, from any thread, the owner that holds the clipboard when it first
// reads; a test can hold readers before that first read, or after the types before the data, to
// see what happens while a read is going on.
class InMemoryPasteboard : public Pasteboard {
public:
    enum class Owner { quitsWhenReplaced, keepsRunning };

    qint64 changeCount() const override { return m_changeCount; }
    QStringList formats() const override { return contents().keys(); }
    QByteArray data(const QString& mimeType) const override {
        ++m_shared->reads;
        return contents().value(mimeType);
    }
    // Our own: not announced. Empty contents leave the clipboard without owner.
    void write(const PasteboardContents& contents) override {
        replaceOwner(contents.isEmpty() ? nullptr : std::make_shared<OwnerState>(contents, false),
                     false);
        ++writes;
    }
    std::shared_ptr<ReadablePasteboard> reader() const override {
        ++readers;
        return std::make_shared<Reader>(m_shared);
    }

    // Another application copies.
    void copy(const PasteboardContents& contents, Owner owner = Owner::quitsWhenReplaced) {
        replaceOwner(std::make_shared<OwnerState>(contents, owner == Owner::quitsWhenReplaced),
                     false);
        announce();
    }
    // The application that holds the clipboard quits: nobody owns it any more.
    void ownerQuits() {
        replaceOwner(nullptr, true);
        announce();
    }
    PasteboardContents contents() const {
        const QMutexLocker lock(&m_shared->mutex);
        return m_shared->owner ? m_shared->owner->contents : PasteboardContents();
    }

    // Readers wait before their first read until released (or cancelled, or told of a new owner
    // before they began, which leaves them incomplete).
    void holdReads(bool hold) {
        const QMutexLocker lock(&m_shared->mutex);
        m_shared->held = hold;
        m_shared->changed.wakeAll();
    }
    // Readers wait after the types, before the data, until released (or cancelled, or their owner
    // quits, which leaves them incomplete).
    void holdData(bool hold) {
        const QMutexLocker lock(&m_shared->mutex);
        m_shared->dataHeld = hold;
        m_shared->changed.wakeAll();
    }
    // Readers waiting for their data.
    int readersAtData() const {
        const QMutexLocker lock(&m_shared->mutex);
        return m_shared->atData;
    }

    // Types read by this object and its readers.
    int reads() const { return m_shared->reads; }
    // Readers that chose the owner they read.
    int readsBegun() const { return m_shared->begun; }
    int writes = 0;
    mutable int readers = 0;
    bool announceChanges = true;
    bool announcesChanges() const override { return announceChanges; }

private:
    struct OwnerState {
        OwnerState(PasteboardContents contents, bool quitsWhenReplaced)
            : contents(std::move(contents)), quitsWhenReplaced(quitsWhenReplaced) {}
        PasteboardContents contents;
        bool quitsWhenReplaced;
        bool gone = false;
    };
    struct Shared {
        QMutex mutex;
        QWaitCondition changed;
        // None: nobody owns the clipboard.
        std::shared_ptr<OwnerState> owner;
        bool held = false;
        bool dataHeld = false;
        int atData = 0;
        std::atomic<int> reads = 0;
        std::atomic<int> begun = 0;
    };

    class Reader : public ReadablePasteboard {
    public:
        explicit Reader(std::shared_ptr<Shared> shared) : m_shared(std::move(shared)) {}
        QStringList formats() const override {
            QMutexLocker lock(&m_shared->mutex);
            return bind(lock) && m_owner ? m_owner->contents.keys() : QStringList();
        }
        QByteArray data(const QString& mimeType) const override {
            QMutexLocker lock(&m_shared->mutex);
            ++m_shared->reads;
            if (!bind(lock)) {
                return {};
            }
            ++m_shared->atData;
            while (m_shared->dataHeld && !m_cancelled && !(m_owner && m_owner->gone)) {
                m_shared->changed.wait(&m_shared->mutex);
            }
            --m_shared->atData;
            // An owner that quit answers nothing more.
            if (m_cancelled || (m_owner && m_owner->gone)) {
                m_failed = true;
                return {};
            }
            return m_owner ? m_owner->contents.value(mimeType) : QByteArray();
        }
        bool complete() const override { return !m_failed && !m_cancelled; }
        bool ownerless() const override { return m_bound && !m_owner && complete(); }
        void cancel() override {
            const QMutexLocker lock(&m_shared->mutex);
            m_cancelled = true;
            m_shared->changed.wakeAll();
        }
        void ownerReplaced() override {
            const QMutexLocker lock(&m_shared->mutex);
            m_replaced = true;
            m_shared->changed.wakeAll();
        }

    private:
        // The owner read from here on; false when the read gave up before it began.
        bool bind(QMutexLocker<QMutex>&) const {
            if (m_bound || m_failed) {
                return m_bound && !m_failed;
            }
            while (m_shared->held && !m_cancelled && !m_replaced) {
                m_shared->changed.wait(&m_shared->mutex);
            }
            if (m_cancelled || m_replaced) {
                m_failed = true;
                return false;
            }
            m_owner = m_shared->owner;
            m_bound = true;
            ++m_shared->begun;
            return true;
        }

        std::shared_ptr<Shared> m_shared;
        // Guarded by the shared mutex.
        mutable std::shared_ptr<OwnerState> m_owner;
        mutable bool m_bound = false;
        mutable bool m_failed = false;
        bool m_replaced = false;
        std::atomic_bool m_cancelled = false;
    };

    // The current owner quits when replaced, if it does, or when `quits`.
    void replaceOwner(std::shared_ptr<OwnerState> next, bool quits) {
        const QMutexLocker lock(&m_shared->mutex);
        if (m_shared->owner && (quits || m_shared->owner->quitsWhenReplaced)) {
            m_shared->owner->gone = true;
        }
        m_shared->owner = std::move(next);
        m_shared->changed.wakeAll();
        ++m_changeCount;
    }
    void announce() {
        if (announceChanges) {
            notifier.announce();
        }
    }

    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    qint64 m_changeCount = 0;
};

}  // namespace orv
