#include "app/QuitSignals.h"

#include "logging/Logging.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <csignal>

#include <sys/socket.h>
#include <unistd.h>

namespace orv {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

std::atomic<int> wakeFd{-1};

// Async-signal-safe: one write to a non-blocking socket, errno left as it was.
void onSignal(int number) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(number);
    if (const int fd = wakeFd.load(); fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
    }
    errno = saved;
}

void setHandler(void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : kSignals) {
        sigaction(number, &action, nullptr);
    }
}

}  // namespace

QuitSignals* QuitSignals::install(QCoreApplication* app) {
    return new QuitSignals(app);
}

QuitSignals::QuitSignals(QObject* parent) : QObject(parent) {
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, fds) != 0) {
        qCWarning(lcApp) << "no socket pair for the quit signals:" << qt_error_string(errno);
        return;
    }
    m_read = fds[0];
    m_write = fds[1];
    m_notifier = new QSocketNotifier(qintptr(m_read), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::quit);
    wakeFd.store(m_write);
    setHandler(&onSignal);
}

QuitSignals::~QuitSignals() {
    setHandler(SIG_DFL);
    wakeFd.store(-1);
    if (m_notifier != nullptr) {
        m_notifier->setEnabled(false);
    }
    for (const int fd : {m_read, m_write}) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

void QuitSignals::quit() {
    unsigned char bytes[16];
    ssize_t count = 0;
    int number = 0;
    while ((count = ::read(m_read, bytes, sizeof bytes)) > 0) {
        number = bytes[count - 1];
    }
    qCInfo(lcApp) << "signal" << number << "received: quitting";
    // exit(), not quit(): a signal is no request that an open window could turn down.
    QCoreApplication::exit(0);
}

}  // namespace orv
