#include "platform/wayland/OutgoingTransfer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <mutex>

namespace orv {

OutgoingTransfer::OutgoingTransfer(int fd, QByteArray bytes, QObject* parent)
    : QObject(parent), m_fd(fd), m_bytes(std::move(bytes)), m_notifier(fd, QSocketNotifier::Write) {
    // A reader that closes its end early must not end the process.
    static std::once_flag ignorePipeSignal;
    std::call_once(ignorePipeSignal, [] { std::signal(SIGPIPE, SIG_IGN); });
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
    connect(&m_notifier, &QSocketNotifier::activated, this, &OutgoingTransfer::writeSome);
    m_stall.setSingleShot(true);
    m_stall.setInterval(stallLimitMs);
    connect(&m_stall, &QTimer::timeout, this, &OutgoingTransfer::finish);
    m_stall.start();
    writeSome();
}

OutgoingTransfer::~OutgoingTransfer() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

void OutgoingTransfer::writeSome() {
    while (m_written < m_bytes.size()) {
        const ssize_t sent =
            ::write(m_fd, m_bytes.constData() + m_written, size_t(m_bytes.size() - m_written));
        if (sent < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN) {
                finish();  // the reader went away
            }
            return;
        }
        m_written += sent;
        m_stall.start();
    }
    finish();
}

void OutgoingTransfer::finish() {
    m_notifier.setEnabled(false);
    m_stall.stop();
    ::close(m_fd);
    m_fd = -1;
    deleteLater();
}

}  // namespace orv
