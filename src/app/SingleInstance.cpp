#include "app/SingleInstance.h"

#include "app/CommandLine.h"
#include "app/CommandProtocol.h"
#include "app/Commands.h"
#include "platform/FileDescriptor.h"

#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <memory>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace orv {

Q_LOGGING_CATEGORY(lcInstance, "orv.app.instance", QtInfoMsg)

namespace {

constexpr std::chrono::milliseconds kRetryInterval{50};
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
    held = std::move(file);
    return Lock::taken;
}

// Plain POSIX: there is no application object yet. The request waits in the socket until the
// instance reads it.
bool sendToggle(const QString& socketPath) {
    const QByteArray path = QFile::encodeName(socketPath);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const FileDescriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.get() < 0 || ::connect(socket.get(), reinterpret_cast<const sockaddr*>(&address),
                                      sizeof(address)) != 0) {
        return false;
    }
    return ::send(socket.get(), kToggle.constData(), size_t(kToggle.size()), MSG_NOSIGNAL) ==
           kToggle.size();
}

void respond(QLocalSocket& socket, const CommandResult& result) {
    socket.write(CommandProtocol::encode(
        CommandProtocol::ResponseHeader{result.status, result.message, result.output.size()}));
    socket.write(result.output);
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

}  // namespace

QString SingleInstance::standardName() {
    QString display = qEnvironmentVariable("DISPLAY");
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.]")), QStringLiteral("_"));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime + QStringLiteral("/orvantide-%1.socket").arg(display);
    }
    return QStringLiteral("%1/orvantide-%2-%3.socket")
        .arg(QDir::tempPath())
        .arg(getuid())
        .arg(display);
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
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
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
                if (const QString tooLarge = CommandLine::inputSizeError(expected);
                    !tooLarge.isEmpty()) {
                    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
                    respond(*socket, {1, {}, tooLarge});
                    return;
                }
                incoming->input += socket->read(expected - incoming->input.size());
                if (incoming->input.size() == expected) {
                    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
                    receiveCommand({socket, incoming->command->arguments, incoming->input});
                }
            };
            connect(socket, &QLocalSocket::readyRead, this, readRequests);
            readRequests();
        }
    });
}

bool SingleInstance::listen() {
    // Only the lock's holder comes here, so a socket file left over is a crashed instance's.
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_name)) {
        qCWarning(lcInstance) << "cannot listen on" << m_name << m_server.errorString();
        return false;
    }
    return true;
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
