#include "commands/CommandClient.h"

#include "commands/CommandProtocol.h"
#include "platform/xdg/FileDescriptor.h"

#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <optional>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace orv {

namespace CommandClient {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRetryInterval{50};

void say(const QString& message) {
    std::fprintf(stderr, "orvantide: %s\n", message.toUtf8().constData());
}

bool sendAll(int fd, const QByteArray& data) {
    for (qsizetype sent = 0; sent < data.size();) {
        const ssize_t written =
            ::send(fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        sent += written;
    }
    return true;
}

// Standard output may be a pipe closed early (`| head`): false then, with no signal.
bool writeAll(int fd, const QByteArray& data) {
    for (qsizetype written = 0; written < data.size();) {
        const ssize_t count =
            ::write(fd, data.constData() + written, size_t(data.size() - written));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += count;
    }
    return true;
}

enum class Read { more, closed, silent };

// Appends what comes within `silence`.
Read readSome(int fd, QByteArray& buffer, std::chrono::milliseconds silence) {
    pollfd waiting{fd, POLLIN, 0};
    int ready;
    do {
        ready = ::poll(&waiting, 1, int(silence.count()));
    } while (ready < 0 && errno == EINTR);
    if (ready == 0) {
        return Read::silent;
    }
    char chunk[65536];
    ssize_t count;
    do {
        count = ::read(fd, chunk, sizeof(chunk));
    } while (count < 0 && errno == EINTR);
    if (count <= 0) {
        return Read::closed;
    }
    buffer.append(chunk, count);
    return Read::more;
}

// The program itself, under the name it has on disk (its process is then named after it).
QByteArray ownPath() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof(path) - 1);
    const QByteArray resolved(path, length > 0 ? length : 0);
    // Replaced by a rebuild or an upgrade since it started: the running file is still there.
    if (resolved.isEmpty() || resolved.endsWith(" (deleted)")) {
        return QByteArrayLiteral("/proc/self/exe");
    }
    return resolved;
}

// In its own session, with nothing of this terminal: `$(orvantide list)` must not wait for it.
pid_t startInstance() {
    const QByteArray path = ownPath();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    }
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGDEF);
    char program[] = "orvantide";
    char service[] = "--for-commands";
    char* arguments[] = {program, service, nullptr};
    pid_t pid = -1;
    if (const int error =
            posix_spawn(&pid, path.constData(), &actions, &attributes, arguments, environ);
        error != 0) {
        errno = error;
        pid = -1;
    }
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// Why the instance this command started ended in failure, once it has ended (within a few
// seconds); nothing for one that did not fail, or that this command did not start.
std::optional<QString> failureOf(pid_t started, const QString& name) {
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    int status = 0;
    while (started > 0 && Clock::now() < deadline) {
        if (::waitpid(started, &status, WNOHANG) == started) {
            if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
                return std::nullopt;
            }
            const QString why = SingleInstance::note(name);
            return why.isEmpty() ? QStringLiteral("no se pudo iniciar Orvantide") : why;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }
    return std::nullopt;
}

}  // namespace

int run(const QStringList& arguments, const QByteArray& input, const QString& name, Waits waits) {
    const auto deadline = Clock::now() + waits.start;
    pid_t started = -1;
    FileDescriptor socket;
    while ((socket = SingleInstance::connectTo(name)).get() < 0) {
        if (started < 0 && !SingleInstance::isRunning(name)) {
            started = startInstance();
            if (started < 0) {
                say(QStringLiteral("no se pudo iniciar Orvantide: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno))));
                return 1;
            }
        }
        int status = 0;
        if (started > 0 && ::waitpid(started, &status, WNOHANG) == started) {
            // Ended at once: it could not start (no history, no display), or another launch won
            // the race and that one will answer.
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
                const QString why = SingleInstance::note(name);
                say(why.isEmpty() ? QStringLiteral("no se pudo iniciar Orvantide") : why);
                return 1;
            }
            started = 0;
        }
        if (Clock::now() >= deadline) {
            say(started >= 0 ? QStringLiteral("Orvantide no ha terminado de iniciarse; prueba de "
                                              "nuevo en un momento")
                             : QStringLiteral("ya hay otra instancia en marcha, pero no responde"));
            return 1;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }

    if (!sendAll(socket.get(),
                 CommandProtocol::encode(CommandProtocol::RequestHeader{arguments, input.size()}) +
                     input)) {
        say(QStringLiteral("se perdió la conexión con la instancia en marcha"));
        return 1;
    }
    QByteArray buffer;
    std::optional<CommandProtocol::ResponseHeader> header;
    for (;;) {
        if (!header) {
            if (const qsizetype end = buffer.indexOf('\n'); end >= 0) {
                header = CommandProtocol::responseHeader(buffer.first(end));
                if (!header) {
                    say(QStringLiteral("la instancia en marcha dio una respuesta ilegible"));
                    return 1;
                }
                buffer.remove(0, end + 1);
            }
        }
        if (header && buffer.size() >= header->outputBytes) {
            break;
        }
        switch (readSome(socket.get(), buffer, waits.silence)) {
            case Read::more:
                continue;
            case Read::silent:
                say(QStringLiteral("la instancia en marcha no responde"));
                return 1;
            case Read::closed:
                // The instance this command started listens before it opens the history: one
                // that then failed says why in its note.
                if (const auto why = failureOf(started, name)) {
                    say(*why);
                    return 1;
                }
                say(QStringLiteral("la instancia en marcha cerró la conexión sin responder"));
                return 1;
        }
    }
    if (!writeAll(STDOUT_FILENO, buffer.first(header->outputBytes))) {
        return 1;
    }
    if (!header->message.isEmpty()) {
        say(header->message);
    }
    return header->status;
}

}  // namespace CommandClient

}  // namespace orv
