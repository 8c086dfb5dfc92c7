#include "commands/SingleInstance.h"

#include "commands/CommandLine.h"
#include "commands/CommandProtocol.h"
#include "commands/Commands.h"
#include "logging/Logging.h"
#include "platform/xdg/FileDescriptor.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace orv {

namespace {

constexpr std::chrono::milliseconds kRetryInterval{50};
// A connection waits when the instance's backlog is full.
constexpr std::chrono::milliseconds kConnectTime = std::chrono::seconds(30);
// Clients send their request as soon as they are connected.
constexpr std::chrono::seconds kRequestTime{5};
constexpr size_t kMaximumWaiting = 32;
// Each holds a descriptor until its command has run.
constexpr int kMaximumConnections = 256;
constexpr int kAcceptBatch = 8;
constexpr std::chrono::milliseconds kAcceptRetry{250};
const QByteArray kToggle = "toggle\n";

enum class Lock { taken, heldElsewhere, unusable };

Lock takeLock(const QString& path) {
    // Kept open until the process ends: closing it would let the lock go.
    static FileDescriptor held;
    FileDescriptor file(::open(QFile::encodeName(path).constData(),
                               O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (file.get() < 0) {
        qCWarning(lcInstance) << "cannot open the instance lock" << path << std::strerror(errno);
        return Lock::unusable;
    }
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) {
            return Lock::heldElsewhere;
        }
        qCWarning(lcInstance) << "cannot lock" << path << std::strerror(errno);
        return Lock::unusable;
    }
    // Whatever an instance that failed left there is old news.
    if (::ftruncate(file.get(), 0) != 0) {
        qCDebug(lcInstance) << "cannot empty" << path << std::strerror(errno);
    }
    held = std::move(file);
    return Lock::taken;
}

// The request waits in the socket until the instance reads it.
bool sendToggle(const QString& socketPath) {
    const auto socket = SingleInstance::connectTo(socketPath);
    return socket && socket->write(kToggle) == kToggle.size() &&
           socket->waitForBytesWritten(int(kConnectTime.count()));
}

void respond(QLocalSocket& socket, const CommandResult& result) {
    socket.write(CommandProtocol::encode(
        CommandProtocol::ResponseHeader{result.status, result.message, result.output.size()}));
    socket.write(result.output);
    // Into the socket now: after `quit` the instance may be gone before its next event.
    socket.flush();
    // Once everything is written: the end of the answer.
    socket.disconnectFromServer();
}

QCoro::Task<> answer(Commands& commands, QPointer<QLocalSocket> socket, QStringList arguments,
                     QByteArray input) {
    const CommandResult result = co_await commands.run(std::move(arguments), std::move(input));
    // A client that gave up meanwhile gets nothing.
    if (socket) {
        respond(*socket, result);
    }
}

// What one connection has sent so far: toggle lines, or one command's header and then its input.
struct Incoming {
    std::optional<CommandProtocol::RequestHeader> command;
    QByteArray input;
};

struct Folder {
    QString path;
    // Why it must not be used; empty when it is ours alone.
    QString refusal;
};

// $XDG_RUNTIME_DIR is the user's own. Without it, a folder of ours in the shared temporary
// folder, used only while it is ours alone: another user could otherwise put a socket or a lock
// there first.
Folder instanceFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return {runtime, {}};
    }
    const QString folder = QStringLiteral("%1/orvantide-%2").arg(QDir::tempPath()).arg(getuid());
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        qCWarning(lcInstance) << "cannot make" << folder << std::strerror(errno);
    }
    struct stat status {};
    if (::lstat(path.constData(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != getuid() || (status.st_mode & 0077) != 0) {
        qCWarning(lcInstance) << folder << "is not a private folder of this user: not used";
        return {folder,
                QStringLiteral("la carpeta %1 no es privada de este usuario (otro la creó o "
                               "puede escribir en ella), así que no se usa; bórrala o define "
                               "XDG_RUNTIME_DIR")
                    .arg(folder)};
    }
    return {folder, {}};
}

// The socket is ours, and so is the process that listens on it.
bool ownedByUs(const QString& path, int connected) {
    struct stat status {};
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISSOCK(status.st_mode) ||
        status.st_uid != getuid()) {
        return false;
    }
    ucred peer{};
    socklen_t size = sizeof(peer);
    return ::getsockopt(connected, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == getuid();
}

// Nothing when the path is too long for a socket.
std::optional<sockaddr_un> socketAddress(const QString& path) {
    const QByteArray bytes = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(bytes.size()) >= sizeof(address.sun_path)) {
        return std::nullopt;
    }
    std::memcpy(address.sun_path, bytes.constData(), size_t(bytes.size()));
    return address;
}

}  // namespace

QString SingleInstance::sessionName(const QString& x11Display, const QString& waylandDisplay) {
    QString session;
    // [protocol/][host]:number[.screen]; "unix" and no host are this machine's socket.
    static const QRegularExpression display(
        QStringLiteral("^(?:([A-Za-z]+)/)?([^:/]*):(\\d+)(?:\\.\\d+)?$"));
    static const QRegularExpression socketPath(QStringLiteral("^/.*/X(\\d+)$"));
    if (const auto match = display.match(x11Display); match.hasMatch()) {
        const QString host = match.captured(2);
        const bool local = match.captured(1) == u"unix" || host.isEmpty() || host == u"unix";
        session = (local ? QString() : host) + u':' + QString::number(match.captured(3).toUInt());
    } else if (const auto path = socketPath.match(x11Display); path.hasMatch()) {
        session = u':' + QString::number(path.captured(1).toUInt());
    } else if (!x11Display.isEmpty()) {
        session = x11Display;
    } else {
        session = waylandDisplay.section(u'/', -1);
    }
    return session.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.-]")),
                           QStringLiteral("_"));
}

std::unique_ptr<QLocalSocket> SingleInstance::connectTo(const QString& path) {
    auto socket = std::make_unique<QLocalSocket>();
    socket->connectToServer(path);
    if (!socket->waitForConnected(int(kConnectTime.count()))) {
        return nullptr;
    }
    // Nothing goes to a socket that another user made or listens on.
    if (!ownedByUs(path, int(socket->socketDescriptor()))) {
        qCWarning(lcInstance) << path << "belongs to another user: not used";
        return nullptr;
    }
    return socket;
}

bool SingleInstance::hasSession() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

QString SingleInstance::refusal() {
    return instanceFolder().refusal;
}

QString SingleInstance::standardName() {
    const Folder place = instanceFolder();
    // Where nothing can be made, so that no other user's socket or lock is ever reached.
    const QString folder =
        place.refusal.isEmpty() ? place.path : place.path + QStringLiteral("/no-usada");
    const QString session =
        sessionName(qEnvironmentVariable("DISPLAY"), qEnvironmentVariable("WAYLAND_DISPLAY"));
    const QString name = folder + QStringLiteral("/orvantide-%1.socket").arg(session);
    if (!session.isEmpty()) {
        return name;
    }
    // No display to tell the session by: the instance that runs here, the newest if several.
    QFileInfoList locks = QDir(folder).entryInfoList({QStringLiteral("orvantide-*.socket.lock")},
                                                     QDir::Files, QDir::Time);
    for (const QFileInfo& lock : std::as_const(locks)) {
        const QString socket = lock.filePath().chopped(5);
        if (isRunning(socket)) {
            return socket;
        }
    }
    return name;
}

void SingleInstance::leaveNote(const QString& name, const QString& note) {
    QFile lock(name + QStringLiteral(".lock"));
    if (lock.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::ExistingOnly)) {
        lock.write(note.toUtf8());
    }
}

QString SingleInstance::note(const QString& name) {
    QFile lock(name + QStringLiteral(".lock"));
    return lock.open(QIODevice::ReadOnly) ? QString::fromUtf8(lock.read(64 * 1024)).trimmed()
                                          : QString();
}

bool SingleInstance::isRunning(const QString& name) {
    const FileDescriptor file(::open(QFile::encodeName(name + QStringLiteral(".lock")).constData(),
                                     O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    // Shared: it fails only against the instance's exclusive lock, and goes with the descriptor.
    return file.get() >= 0 && ::flock(file.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

SingleInstance::Claim SingleInstance::claim(const QString& name, std::chrono::milliseconds wait,
                                            HandOver handOver) {
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        switch (takeLock(name + QStringLiteral(".lock"))) {
            case Lock::taken:
                return Claim::first;
            case Lock::unusable:
                // Without a lock, at least do not start beside an instance that answers.
                return sendToggle(name) ? Claim::handedOver : Claim::first;
            case Lock::heldElsewhere:
                if (handOver == HandOver::nothing) {
                    return Claim::handedOver;
                }
                break;
        }
        if (sendToggle(name)) {
            return Claim::handedOver;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return Claim::unanswered;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
}

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)) {
    m_acceptRetry.setSingleShot(true);
    m_acceptRetry.setInterval(kAcceptRetry);
    connect(&m_acceptRetry, &QTimer::timeout, this, [this] {
        if (m_incoming) {
            m_incoming->setEnabled(true);
            acceptConnections();
        }
    });
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen() {
    const auto address = socketAddress(m_name);
    FileDescriptor listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!address || listener.get() < 0) {
        qCWarning(lcInstance) << "cannot listen on" << m_name;
        return false;
    }
    const QByteArray path = QFile::encodeName(m_name);
    // Only the lock's holder comes here, so a socket file left over is a crashed instance's.
    ::unlink(path.constData());
    if (::bind(listener.get(), reinterpret_cast<const sockaddr*>(&*address), sizeof(*address)) !=
            0 ||
        ::chmod(path.constData(), 0600) != 0 || ::listen(listener.get(), SOMAXCONN) != 0) {
        qCWarning(lcInstance) << "cannot listen on" << m_name << std::strerror(errno);
        return false;
    }
    m_listener = std::move(listener);
    m_incoming = std::make_unique<QSocketNotifier>(m_listener.get(), QSocketNotifier::Read);
    connect(m_incoming.get(), &QSocketNotifier::activated, this,
            &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::acceptConnections() {
    // A few at a time, so that the requests of those accepted are read before the next ones can
    // push them out.
    for (int i = 0; i < kAcceptBatch; ++i) {
        if (m_open >= kMaximumConnections) {
            m_incoming->setEnabled(false);
            return;
        }
        const int fd = ::accept4(m_listener.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return;
            }
            // Out of descriptors, most likely: the oldest idle connection gives its own up, else
            // one is waited for.
            qCDebug(lcInstance) << "cannot accept a connection:" << std::strerror(errno);
            if (!m_waiting.empty()) {
                stopWaiting(m_waiting.front());
                continue;
            }
            qCWarning(lcInstance) << "cannot accept a connection:" << std::strerror(errno);
            m_incoming->setEnabled(false);
            m_acceptRetry.start();
            return;
        }
        auto* socket = new QLocalSocket(this);
        if (!socket->setSocketDescriptor(fd)) {
            ::close(fd);
            delete socket;
            continue;
        }
        serve(socket);
    }
}

void SingleInstance::serve(QLocalSocket* socket) {
    ++m_open;
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
        socket->deleteLater();
        std::erase(m_waiting, socket);
        --m_open;
        if (m_incoming && !m_incoming->isEnabled() && !m_acceptRetry.isActive()) {
            m_incoming->setEnabled(true);
        }
    });
    m_waiting.emplace_back(socket);
    if (m_waiting.size() > kMaximumWaiting) {
        stopWaiting(m_waiting.front());
    }
    QTimer::singleShot(kRequestTime, socket, [this, socket] {
        if (std::find(m_waiting.begin(), m_waiting.end(), socket) != m_waiting.end()) {
            qCDebug(lcInstance) << "a connection sent no request in time";
            stopWaiting(socket);
        }
    });
    const auto readRequests = [this, socket, incoming = std::make_shared<Incoming>()] {
        while (!incoming->command && socket->canReadLine()) {
            const QByteArray line = socket->readLine();
            if (line == kToggle) {
                receiveToggle();
            } else {
                incoming->command = CommandProtocol::requestHeader(line);
            }
        }
        if (!incoming->command) {
            if (socket->bytesAvailable() > CommandProtocol::maximumHeaderBytes) {
                socket->abort();
            }
            return;
        }
        const qsizetype expected = incoming->command->inputBytes;
        if (const QString tooLarge = CommandLine::inputSizeError(expected); !tooLarge.isEmpty()) {
            disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
            std::erase(m_waiting, socket);
            respond(*socket, {1, {}, tooLarge});
            return;
        }
        incoming->input += socket->read(expected - incoming->input.size());
        if (incoming->input.size() == expected) {
            disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
            std::erase(m_waiting, socket);
            receiveCommand({socket, incoming->command->arguments, incoming->input});
        }
    };
    connect(socket, &QLocalSocket::readyRead, this, readRequests);
    readRequests();
}

void SingleInstance::stopWaiting(QLocalSocket* socket) {
    std::erase(m_waiting, socket);
    if (socket != nullptr) {
        socket->abort();
    }
}

void SingleInstance::deliverToggles() {
    m_delivering = true;
    for (; m_pendingToggles > 0; --m_pendingToggles) {
        emit toggleRequested();
    }
}

void SingleInstance::serveCommands(Commands* commands) {
    m_commands = commands;
    for (PendingCommand& command : std::exchange(m_pendingCommands, {})) {
        receiveCommand(std::move(command));
    }
}

void SingleInstance::receiveCommand(PendingCommand command) {
    if (!command.socket) {
        return;
    }
    if (!m_commands) {
        m_pendingCommands.push_back(std::move(command));
        return;
    }
    qCDebug(lcInstance) << "command over the socket" << command.arguments.value(0);
    answer(*m_commands, command.socket, std::move(command.arguments), std::move(command.input));
}

void SingleInstance::receiveToggle() {
    if (m_delivering) {
        emit toggleRequested();
    } else {
        ++m_pendingToggles;
    }
}

}  // namespace orv
