#include "commands/CommandClient.h"

#include "commands/CommandProtocol.h"

#include <QFile>
#include <QLocalSocket>
#include <QProcess>

#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include <unistd.h>

namespace orv {

namespace CommandClient {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::chrono::milliseconds kRetryInterval{50};

void say(const QString& message) {
    std::fprintf(stderr, "orvantide: %s\n", message.toUtf8().constData());
}

// The program itself, under the name it has on disk (its process is then named after it).
QString ownPath() {
    const QString resolved = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    // Replaced by a rebuild or an upgrade since it started: the running file is still there.
    return QFile::exists(resolved) ? resolved : QStringLiteral("/proc/self/exe");
}

// In its own session, with nothing of this terminal: `$(orvantide list)` must not wait for it.
// Why it could not be started; empty when it was.
QString startInstance() {
    QProcess instance;
    instance.setProgram(ownPath());
    instance.setArguments({QStringLiteral("--for-commands")});
    instance.setStandardInputFile(QProcess::nullDevice());
    instance.setStandardOutputFile(QProcess::nullDevice());
    instance.setStandardErrorFile(QProcess::nullDevice());
    if (instance.startDetached()) {
        return {};
    }
    return QStringLiteral("no se pudo iniciar Orvantide: %1").arg(instance.errorString());
}

// Why the instance this command started gave up: it says so in its note, then lets the lock go.
std::optional<QString> failureOf(const QString& name) {
    const QString why = SingleInstance::isRunning(name) ? QString() : SingleInstance::note(name);
    return why.isEmpty() ? std::nullopt : std::optional(why);
}

}  // namespace

int run(const QStringList& arguments, const QByteArray& input, const QString& name, Waits waits,
        Start start) {
    const auto deadline = Clock::now() + waits.start;
    bool started = false;
    std::unique_ptr<QLocalSocket> socket;
    while (!(socket = SingleInstance::connectTo(name))) {
        if (start == Start::never && !SingleInstance::isRunning(name)) {
            say(QStringLiteral("no hay ninguna instancia de Orvantide en marcha."));
            return 1;
        }
        if (!started && start == Start::whenNeeded && !SingleInstance::isRunning(name)) {
            // What an instance that failed before left there is old news.
            SingleInstance::leaveNote(name, {});
            if (const QString error = startInstance(); !error.isEmpty()) {
                say(error);
                return 1;
            }
            started = true;
        }
        // It could not start (no history, no display); one that lost the race to another launch
        // leaves no note, and that other one will answer.
        if (const auto why = started ? failureOf(name) : std::nullopt) {
            say(*why);
            return 1;
        }
        if (Clock::now() >= deadline) {
            say(started ? QStringLiteral("Orvantide no ha terminado de iniciarse; prueba de "
                                         "nuevo en un momento")
                        : QStringLiteral("ya hay otra instancia en marcha, pero no responde"));
            return 1;
        }
        std::this_thread::sleep_for(kRetryInterval);
    }

    socket->write(CommandProtocol::encode(CommandProtocol::RequestHeader{arguments, input.size()}) +
                  input);
    while (socket->bytesToWrite() > 0) {
        if (!socket->waitForBytesWritten(int(waits.silence.count()))) {
            say(QStringLiteral("se perdió la conexión con la instancia en marcha"));
            return 1;
        }
    }
    QByteArray buffer;
    std::optional<CommandProtocol::ResponseHeader> header;
    for (;;) {
        buffer += socket->readAll();
        if (const qsizetype end = header ? -1 : buffer.indexOf('\n'); end >= 0) {
            header = CommandProtocol::responseHeader(buffer.first(end));
            if (!header) {
                say(QStringLiteral("la instancia en marcha dio una respuesta ilegible"));
                return 1;
            }
            buffer.remove(0, end + 1);
        }
        if (header && buffer.size() >= header->outputBytes) {
            break;
        }
        if (socket->state() != QLocalSocket::ConnectedState) {
            // The instance this command started listens before it opens the history: one that
            // then failed says why in its note.
            std::optional<QString> why;
            for (const auto end = Clock::now() + std::chrono::seconds(5);
                 started && !(why = failureOf(name)) && Clock::now() < end;) {
                std::this_thread::sleep_for(kRetryInterval);
            }
            say(why.value_or(
                QStringLiteral("la instancia en marcha cerró la conexión sin responder")));
            return 1;
        }
        if (!socket->waitForReadyRead(int(waits.silence.count())) &&
            socket->state() == QLocalSocket::ConnectedState) {
            say(QStringLiteral("la instancia en marcha no responde"));
            return 1;
        }
    }
    // Standard output may be a pipe closed early (`| head`): a failure then, with no signal.
    QFile output;
    if (!output.open(STDOUT_FILENO, QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        output.write(buffer.first(header->outputBytes)) != header->outputBytes) {
        return 1;
    }
    if (!header->message.isEmpty()) {
        say(header->message);
    }
    // Its lock goes with the process: then it has closed its history.
    if (header->status == 0 && arguments.value(0) == QLatin1String("quit")) {
        for (const auto end = Clock::now() + waits.silence; SingleInstance::isRunning(name);) {
            if (Clock::now() >= end) {
                say(QStringLiteral("la instancia en marcha no ha terminado todavía"));
                return 1;
            }
            std::this_thread::sleep_for(kRetryInterval);
        }
    }
    return header->status;
}

}  // namespace CommandClient

}  // namespace orv
