#pragma once

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

namespace orv {

// Bytes of ours written into a pipe another client reads from, a piece whenever the pipe has room,
// so that a slow or stalled reader never holds the main thread. Closes the pipe and deletes itself
// when done, when the reader goes away, or after a long silence.
class OutgoingTransfer : public QObject {
    Q_OBJECT

public:
    // Takes the descriptor.
    OutgoingTransfer(int fd, QByteArray bytes, QObject* parent);
    ~OutgoingTransfer() override;

    static constexpr int stallLimitMs = 10'000;

private:
    void writeSome();
    void finish();

    int m_fd;
    QByteArray m_bytes;
    qsizetype m_written = 0;
    QSocketNotifier m_notifier;
    QTimer m_stall;
};

}  // namespace orv
