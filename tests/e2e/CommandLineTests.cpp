// `orvantide <orden>` and D-Bus against the whole program under Xvfb, on a private session bus
// (dbus-run-session). Each test has its own history, settings and instance, started by the
// subcommands themselves or by the bus.
#include "support/ExternalTool.h"
#include "support/RawDatabase.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

#include <sys/file.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace orv;

namespace {

struct Outcome {
    int status = -1;
    QByteArray output;
    QString error;
};

// Whoever holds the instance's lock file: the instance, however it was started.
qint64 lockHolder(const QString& lockPath) {
    for (const QString& pid : QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs)) {
        const QString fds = "/proc/" + pid + "/fd";
        for (const QString& fd : QDir(fds).entryList(QDir::Files | QDir::System)) {
            if (QFile::symLinkTarget(fds + "/" + fd) == lockPath) {
                return pid.toLongLong();
            }
        }
    }
    return 0;
}

bool lockIsHeld(const QString& lockPath) {
    QFile lock(lockPath);
    return lock.open(QIODevice::ReadOnly) && ::flock(lock.handle(), LOCK_SH | LOCK_NB) != 0;
}

class CommandLineTest : public ::testing::Test {
protected:
    CommandLineTest() {
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home.path());
        // Whatever an earlier test left on the clipboard would be captured at start: a blank
        // text is not.
        runTool("xclip", {"-selection", "clipboard", "-i"}, " ");
    }
    ~CommandLineTest() override { stopInstance(home.path()); }

    // The instance is no child of the test: it is ended through its lock.
    static void stopInstance(const QString& runtimeDirectory) {
        for (const QString& name : QDir(runtimeDirectory).entryList({"orvantide-*.lock"})) {
            const QString lock = QDir(runtimeDirectory).filePath(name);
            if (const qint64 pid = lockHolder(lock); pid > 0) {
                ::kill(pid_t(pid), SIGTERM);
                EXPECT_TRUE(QTest::qWaitFor([&] { return !lockIsHeld(lock); }, 30000));
            }
        }
    }

    // With a `shell` line, run by bash as "$0" "$@" (a pipe whose reader has left, standard
    // input closed).
    Outcome orvantide(const QStringList& arguments, const QByteArray& input = {},
                      const char* shell = nullptr) {
        QProcess process;
        process.setProcessEnvironment(environment);
        if (shell != nullptr) {
            process.start("bash", QStringList{"-c", shell, ORV_PROGRAM} + arguments);
        } else {
            process.start(ORV_PROGRAM, arguments);
        }
        EXPECT_TRUE(process.waitForStarted(10000));
        process.write(input);
        process.closeWriteChannel();
        // Generous: the first subcommand starts the instance on a loaded machine.
        EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 90000))
            << arguments.join(' ').toStdString();
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << arguments.join(' ').toStdString();
        return {process.exitCode(), process.readAllStandardOutput(),
                QString::fromUtf8(process.readAllStandardError())};
    }
    QString database() const { return home.filePath("data/com.quarnelbrisk.orvantide/history.db"); }
    QString rows() const { return RawDatabase::scalar(database(), "SELECT count(*) FROM clips"); }
    bool instanceRuns() const {
        const QStringList locks = QDir(home.path()).entryList({"orvantide-*.lock"});
        return !locks.isEmpty() && lockIsHeld(home.filePath(locks.first()));
    }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
};

}  // namespace

TEST_F(CommandLineTest, AddListCopyAndGetThroughTheInstanceTheyStart) {
    const Outcome added = orvantide({"add"}, "texto desde la terminal\n");
    ASSERT_EQ(added.status, 0) << added.error.toStdString();
    const qint64 id = added.output.trimmed().toLongLong();
    EXPECT_GT(id, 0);
    EXPECT_EQ(RawDatabase::scalar(database(),
                                  "SELECT value FROM clips WHERE id = " + QString::number(id)),
              "texto desde la terminal");

    const Outcome listed = orvantide({"list", "--json"});
    ASSERT_EQ(listed.status, 0) << listed.error.toStdString();
    const QJsonObject list = QJsonDocument::fromJson(listed.output).object();
    EXPECT_EQ(list["schema"].toInt(), 1) << listed.output.toStdString();
    const QJsonArray clips = list["clips"].toArray();
    ASSERT_EQ(clips.size(), 1) << listed.output.toStdString();
    EXPECT_EQ(clips[0]["id"].toInteger(), id);
    EXPECT_EQ(clips[0]["kind"].toString(), "text");
    EXPECT_EQ(clips[0]["value"].toString(), "texto desde la terminal");
    EXPECT_EQ(orvantide({"list", "--null"}).output,
              QByteArray::number(id) + "\ttexto\t-\ttexto desde la terminal" + '\0');

    ASSERT_EQ(orvantide({"copy", QString::number(id)}).status, 0);
    QByteArray clipboard;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            clipboard = runTool("xclip", {"-o", "-selection", "clipboard"}, {}, true);
            return clipboard == "texto desde la terminal";
        },
        10000))
        << clipboard.toStdString();
    EXPECT_EQ(orvantide({"get", QString::number(id)}).output, "texto desde la terminal");

    // An image copied elsewhere comes back as its PNG bytes.
    const QByteArray png = TestImages::png(30, 20, Qt::yellow);
    runTool("xclip", {"-selection", "clipboard", "-t", "image/png", "-i"}, png);
    QString image;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            image = RawDatabase::scalar(database(), "SELECT id FROM clips WHERE kind = 'image'");
            return !image.isEmpty();
        },
        20000));
    const Outcome got = orvantide({"get", image});
    EXPECT_EQ(got.status, 0) << got.error.toStdString();
    EXPECT_EQ(got.output, png);

    // And one from standard input too, its text kept exactly.
    const QByteArray other = TestImages::png(12, 8, Qt::cyan);
    const Outcome piped = orvantide({"add", "--type", "image/png"}, other);
    ASSERT_EQ(piped.status, 0) << piped.error.toStdString();
    EXPECT_EQ(orvantide({"get", QString::fromLatin1(piped.output.trimmed())}).output, other);
    const Outcome exact = orvantide({"add", "--type", "text/plain"}, " a\tb \n");
    ASSERT_EQ(exact.status, 0) << exact.error.toStdString();
    EXPECT_EQ(orvantide({"get", QString::fromLatin1(exact.output.trimmed())}).output, " a\tb \n");
}

TEST_F(CommandLineTest, BadRequestsSayWhyAndChangeNothing) {
    ASSERT_EQ(orvantide({"add"}, "primero").status, 0);
    const QString before = rows();

    const Outcome unknown = orvantide({"delete", "4242"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.error, "orvantide: no hay ningún clip con el id 4242\n");
    for (const QByteArray& input : {QByteArray("a\0b", 3), QByteArray("\xff\xfe"), QByteArray()}) {
        const Outcome refused = orvantide({"add"}, input);
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(refused.error.startsWith("orvantide: la entrada "))
            << refused.error.toStdString();
    }
    for (const auto& [type, input] : {std::pair{"text/plain", QByteArray("a\0b", 3)},
                                      std::pair{"text/html", QByteArray("\xff\x80")},
                                      std::pair{"image/png", QByteArray("GIF89a")}}) {
        const Outcome refused = orvantide({"add", "--type", type}, input);
        EXPECT_EQ(refused.status, 1) << type;
        EXPECT_TRUE(refused.error.startsWith("orvantide: la entrada no es "))
            << type << ": " << refused.error.toStdString();
    }
    for (const QStringList& add :
         {QStringList{"add"}, QStringList{"add", "--type", "text/plain"}}) {
        const Outcome closed = orvantide(add, {}, R"(exec "$0" "$@" <&-)");
        EXPECT_EQ(closed.status, 1);
        EXPECT_EQ(closed.error,
                  "orvantide: la entrada estándar está cerrada; no se ha añadido nada\n");
    }
    for (const QStringList& usage :
         {QStringList{"get", "abc"}, QStringList{"delete"}, QStringList{"frob"},
          QStringList{"list", "--limit", "0"}, QStringList{"list", "--kind", "video"},
          QStringList{"add", "--type", "application/pdf"}, QStringList{"list", "-0", "--json"}}) {
        const Outcome wrong = orvantide(usage);
        EXPECT_EQ(wrong.status, 2) << usage.join(' ').toStdString();
        EXPECT_EQ(wrong.error.count(u'\n'), 1) << wrong.error.toStdString();
    }
    EXPECT_EQ(rows(), before);

    // A reader that went away: no crash (SIGPIPE would give 141), a failure. More than a pipe
    // holds.
    const QByteArray large(90'000, 'x');
    const Outcome big = orvantide({"add"}, large);
    ASSERT_EQ(big.status, 0) << big.error.toStdString();
    EXPECT_EQ(orvantide({"get", QString::fromLatin1(big.output.trimmed())}, {},
                        R"("$0" "$@" | true; exit "${PIPESTATUS[0]}")")
                  .status,
              1);
}

TEST_F(CommandLineTest, StatusSaysWhatRunsAndQuitEndsTheInstanceOnly) {
    const Outcome none = orvantide({"quit"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(none.error, "orvantide: no hay ninguna instancia de Orvantide en marcha.\n");
    EXPECT_FALSE(instanceRuns()) << "quit started one";

    ASSERT_EQ(orvantide({"add"}, "uno").status, 0);
    ASSERT_EQ(orvantide({"pause"}).status, 0);
    const Outcome status = orvantide({"status"});
    ASSERT_EQ(status.status, 0) << status.error.toStdString();
    const QStringList lines = QString::fromUtf8(status.output).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 6) << status.output.toStdString();
    EXPECT_EQ(lines.mid(0, 2), QStringList({"Clips: 1", "Captura: en pausa"}));
    EXPECT_EQ(lines[2], "Portapapeles: X11");
    for (const char* service : {"Atajo: ", "Pegado: ", "Aplicación activa: "}) {
        EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^%1.+").arg(service))).size(), 1)
            << service;
    }
    const QJsonObject json =
        QJsonDocument::fromJson(orvantide({"status", "--json"}).output).object();
    EXPECT_EQ(json["clips"].toInt(), 1);
    EXPECT_TRUE(json["paused"].toBool());
    EXPECT_EQ(json["services"]["clipboard"].toString(), "X11");

    const Outcome quit = orvantide({"quit"});
    EXPECT_EQ(quit.status, 0) << quit.error.toStdString();
    EXPECT_FALSE(instanceRuns()) << "still running once quit has answered";
    EXPECT_FALSE(QFile::exists(database() + "-wal")) << "closed cleanly: its log folded in";
    EXPECT_EQ(rows(), "1");
    EXPECT_EQ(orvantide({"quit"}).status, 1);
}

// A history that cannot be opened: the subcommand says why at once and leaves nothing running;
// no alert waits for a click.
TEST_F(CommandLineTest, AHistoryThatCannotBeOpenedIsSaidToTheCommandAtOnce) {
    const QString folder = home.filePath("data/com.quarnelbrisk.orvantide");
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile garbage(folder + "/history.db");
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(8192, 'x'));
    garbage.close();
    for (const QStringList& command : {QStringList{"list"}, QStringList{"get", "1"}}) {
        const Outcome refused = orvantide(command);
        EXPECT_EQ(refused.status, 1);
        EXPECT_TRUE(refused.error.startsWith("orvantide: No se pudo abrir el historial"))
            << refused.error.toStdString();
    }
    const QString lock = QDir(home.path()).entryList({"orvantide-*.lock"}).value(0);
    EXPECT_FALSE(lockIsHeld(home.filePath(lock))) << "an instance stayed";
}

// Connections that send nothing, more than the instance has descriptors for.
struct IdleConnections {
    IdleConnections(const QString& socketPath, int count) {
        rlimit limit{};
        getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::max<rlim_t>(limit.rlim_cur, std::min<rlim_t>(limit.rlim_max, 4096));
        setrlimit(RLIMIT_NOFILE, &limit);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(socketPath);
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            if (fd < 0) {
                break;
            }
            fds.push_back(fd);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
        }
    }
    ~IdleConnections() {
        for (int fd : fds) {
            ::close(fd);
        }
    }
    std::vector<int> fds;
};

TEST_F(CommandLineTest, AFloodOfIdleConnectionsSilencesTheInstanceNeitherNowNorAfterwards) {
    // An instance with few descriptors to spare.
    QProcess instance;
    instance.setProcessEnvironment(environment);
    instance.start("bash", {"-c", R"(ulimit -n 48 && exec "$0" --service)", ORV_PROGRAM});
    ASSERT_EQ(orvantide({"add"}, "antes de la avalancha").status, 0);
    const QString socket =
        QDir(home.path()).entryList({"orvantide-*.socket"}, QDir::System).value(0);
    ASSERT_FALSE(socket.isEmpty());
    {
        const IdleConnections flood(home.filePath(socket), 1100);
        ASSERT_EQ(flood.fds.size(), 1100U);
        const Outcome during = orvantide({"list"});
        EXPECT_EQ(during.status, 0) << during.error.toStdString();
        EXPECT_TRUE(during.output.contains("antes de la avalancha"));
    }
    const Outcome after = orvantide({"list"});
    EXPECT_EQ(after.status, 0) << after.error.toStdString();
    EXPECT_EQ(orvantide({"--toggle"}).status, 0) << "a second launch still hands over";
    stopInstance(home.path());
    instance.waitForFinished();
}

TEST_F(CommandLineTest, GapplicationStartsTheProgramOnTheBusAndToggles) {
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        GTEST_SKIP() << "needs a private session bus: run under dbus-run-session";
    }
    // The bus starts the program with its own environment, that of this wrapper's session.
    const QString services = qEnvironmentVariable("XDG_DATA_HOME") + "/dbus-1/services";
    QDir().mkpath(services);
    QFile service(services + "/com.quarnelbrisk.orvantide.service");
    ASSERT_TRUE(service.open(QIODevice::WriteOnly));
    service.write("[D-BUS Service]\nName=com.quarnelbrisk.orvantide\nExec=" ORV_PROGRAM
                  " --service\n");
    service.close();

    QProcess gapplication;
    gapplication.start("gapplication", {"action", "com.quarnelbrisk.orvantide", "toggle"});
    ASSERT_TRUE(gapplication.waitForStarted(10000));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return gapplication.state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(gapplication.exitCode(), 0) << gapplication.readAllStandardError().toStdString();
    // Polled: a search while the program is still making its windows can miss them.
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return !findWindows({"--onlyvisible", "--name", "^Orvantide$"}).isEmpty();
        },
        20000))
        << "the palette opened";

    // The same handler as the subcommands, for other programs.
    const QByteArray answer =
        runTool("gdbus", {"call", "--session", "--dest", "com.quarnelbrisk.orvantide",
                          "--object-path", "/com/quarnelbrisk/orvantide", "--method",
                          "com.quarnelbrisk.orvantide.Commands.Run", "['delete', '4242']", "b''"});
    EXPECT_EQ(QString::fromUtf8(answer).trimmed(),
              "(1, @ay [], 'no hay ningún clip con el id 4242')");
    stopInstance(qEnvironmentVariable("XDG_RUNTIME_DIR"));
}
