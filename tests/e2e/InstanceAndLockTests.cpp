// The whole program under Xvfb when launches race each other, and when another process holds the
// history locked while copies are made. Each test has its own history, settings and instance.
#include "support/ExternalTool.h"
#include "support/ProgramReady.h"
#include "support/RawDatabase.h"
#include "support/TestImages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QUuid>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <memory>
#include <vector>

#include <poll.h>
#include <sys/file.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace orv;

namespace {

class InstanceTest : public ::testing::Test {
protected:
    InstanceTest() {
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home.path());
    }
    ~InstanceTest() override {
        for (const auto& process : processes) {
            process->kill();
            process->waitForFinished();
        }
    }

    // `display`: DISPLAY as this launch spells it; null: none at all.
    QProcess* start(const QStringList& arguments = {},
                    const QString& display = qEnvironmentVariable("DISPLAY")) {
        processes.push_back(std::make_unique<QProcess>());
        QProcess* process = processes.back().get();
        QProcessEnvironment launch = environment;
        if (display.isNull()) {
            launch.remove("DISPLAY");
        } else {
            launch.insert("DISPLAY", display);
        }
        process->setProcessEnvironment(launch);
        process->start(ORV_PROGRAM, arguments);
        return process;
    }
    int running() const {
        int count = 0;
        for (const auto& process : processes) {
            count += process->state() != QProcess::NotRunning ? 1 : 0;
        }
        return count;
    }
    bool lockIsHeld() const {
        const QStringList locks = QDir(home.path()).entryList({"*.lock"}, QDir::Files);
        QFile lock(locks.isEmpty() ? QString() : home.filePath(locks.first()));
        return lock.open(QIODevice::ReadOnly) && ::flock(lock.handle(), LOCK_SH | LOCK_NB) != 0;
    }
    QString database() const { return home.filePath("data/com.quarnelbrisk.orvantide/history.db"); }
    QString rowsWith(const QString& value) const {
        return RawDatabase::scalar(database(),
                                   "SELECT count(*) FROM clips WHERE value = '" + value + "'");
    }

    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    std::vector<std::unique_ptr<QProcess>> processes;
};

struct CloseDatabase {
    void operator()(sqlite3* database) const { sqlite3_close(database); }
};

}  // namespace

TEST_F(InstanceTest, TenSimultaneousLaunchesLeaveOneProcess) {
    for (int i = 0; i < 10; ++i) {
        start();
    }
    for (const auto& process : processes) {
        ASSERT_TRUE(process->waitForStarted(10000));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return running() <= 1; }, 60000)) << running();
    for (const auto& process : processes) {
        if (process->state() == QProcess::NotRunning) {
            EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(process->exitCode(), 0) << process->readAllStandardError().toStdString();
        }
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(database()); }, 10000));
    EXPECT_EQ(running(), 1) << "the one that took the lock runs on";
}

TEST_F(InstanceTest, AToggleAskedWhileTheInstanceStillStartsIsNotLost) {
    start();
    // The lock is its very first step: from then on it is the instance, still starting.
    ASSERT_TRUE(QTest::qWaitFor([&] { return lockIsHeld(); }, 10000));
    QProcess* toggle = start({"--toggle"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return toggle->state() == QProcess::NotRunning; }, 60000));
    EXPECT_EQ(toggle->exitCode(), 0);
    EXPECT_FALSE(findWindows({"--sync", "--onlyvisible", "--name", "^Orvantide$"}).isEmpty())
        << "the palette opened";
    EXPECT_EQ(running(), 1);
}

TEST_F(InstanceTest, OneInstanceWhateverTheDisplaysSpellingAndCommandsReachItWithoutOne) {
    const QString display = qEnvironmentVariable("DISPLAY");
    const QString number = display.mid(display.indexOf(u':') + 1);
    start({"--service"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return lockIsHeld(); }, 10000));
    const auto ended = [](QProcess* process) {
        return QTest::qWaitFor([&] { return process->state() == QProcess::NotRunning; }, 60000) &&
               process->exitCode() == 0;
    };
    for (const QString& spelling : {":" + number + ".0", "unix:" + number, "unix/:" + number}) {
        EXPECT_TRUE(ended(start({"--toggle"}, spelling))) << spelling.toStdString();
        EXPECT_EQ(running(), 1) << spelling.toStdString() << " started a second instance";
    }
    // ssh, cron or a systemd unit: no display, the same instance.
    QProcess* list = start({"list"}, QString());
    EXPECT_TRUE(ended(list)) << list->readAllStandardError().toStdString();
    EXPECT_EQ(running(), 1);
}

// Without XDG_RUNTIME_DIR, another user makes listening sockets and locks first, where the
// instance's would go (in the shared temporary folder, as they once lived, and in a folder named
// after this user).
TEST_F(InstanceTest, AnotherUsersSocketOrLockIsNeverUsed) {
    if (::getuid() != 0) {
        GTEST_SKIP() << "needs root, to act as a second user";
    }
    runTool("sh", {"-c",
                   "id -u orvother >/dev/null 2>&1 || useradd --system --no-create-home "
                   "--home-dir /nonexistent --shell /usr/sbin/nologin orvother"});
    QTemporaryDir shared;
    ::chmod(QFile::encodeName(shared.path()).constData(), 01777);
    const QString display = qEnvironmentVariable("DISPLAY").replace(u':', u'_');
    const QString record = shared.filePath("recibido");
    QProcess foreign;
    foreign.start("runuser", {"-u", "orvother", "--", "python3", ORV_FOREIGN_LISTENER, record,
                              shared.filePath("orvantide-0-" + display + ".socket"),
                              shared.filePath("orvantide-0/orvantide-" + display + ".socket")});
    ASSERT_TRUE(foreign.waitForReadyRead(20000)) << foreign.readAllStandardError().toStdString();
    environment.remove("XDG_RUNTIME_DIR");
    environment.insert("TMPDIR", shared.path());

    QProcess* add = start({"add"});
    add->write("clave-del-banco-1234");
    add->closeWriteChannel();
    QProcess* list = start({"list"});
    for (QProcess* command : {add, list}) {
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return command->state() == QProcess::NotRunning; }, 60000));
        EXPECT_EQ(command->exitCode(), 1);
        EXPECT_TRUE(command->readAllStandardError().contains("no es privada"));
        EXPECT_FALSE(command->readAllStandardOutput().contains("suplantado"));
    }
    // The program itself starts all the same.
    EXPECT_FALSE(QFile::exists(database())) << "a command started an instance";
    QProcess* program = start();
    ASSERT_TRUE(program->waitForStarted(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(database()); }, 20000));
    EXPECT_EQ(program->state(), QProcess::Running) << program->readAllStandardError().toStdString();
    EXPECT_FALSE(QFile::exists(record)) << "something reached the other user's socket";
    foreign.kill();
    foreign.waitForFinished();
}

// The history on a small filesystem: a picture bigger than the room left, then three short texts.
TEST_F(InstanceTest, APictureTooBigForTheDiskKeepsNoLaterCopyOut) {
    const QString data = home.filePath("data");
    QDir().mkpath(data);
    if (::getuid() != 0 ||
        QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=8m", "tmpfs", data}) != 0) {
        GTEST_SKIP() << "needs root, to mount a small filesystem";
    }
    const auto unmount = qScopeGuard([&] {
        for (const auto& process : processes) {
            process->kill();
            process->waitForFinished();
        }
        QProcess::execute("umount", {"-l", data});
    });
    start();
    ASSERT_TRUE(answersList(ORV_PROGRAM, environment));
    QImage noise(1700, 1700, QImage::Format_ARGB32);
    QRandomGenerator random(7);
    for (int y = 0; y < noise.height(); ++y) {
        auto* line = reinterpret_cast<quint32*>(noise.scanLine(y));
        random.fillRange(line, noise.width());
    }
    QByteArray png;
    QBuffer buffer(&png);
    ASSERT_TRUE(buffer.open(QIODevice::WriteOnly) && noise.save(&buffer, "PNG"));
    ASSERT_GT(png.size(), 10'000'000);
    runTool("xclip", {"-selection", "clipboard", "-t", "image/png", "-i"}, png);
    const QStringList texts{"cabe aunque la imagen no 1", "cabe aunque la imagen no 2",
                            "cabe aunque la imagen no 3"};
    for (const QString& text : texts) {
        QTest::qWait(1000);
        runTool("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, text.toUtf8());
    }
    for (const QString& text : texts) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return rowsWith(text) == "1"; }, 60000))
            << text.toStdString();
    }
}

// "Borrar historial" killed once it has begun to remove the files: at the next start no file of a
// cleared image is left, though all are newer than every row left.
TEST_F(InstanceTest, AClearKilledMidwayLeavesNoImageBehindAfterTheNextStart) {
    const QString images = home.filePath("data/com.quarnelbrisk.orvantide/images");
    ASSERT_TRUE(QDir().mkpath(images));
    const QByteArray png = TestImages::png(10, 10);
    QString rows;
    // Fewer than the history keeps, so that no prune removes any.
    for (int i = 0; i < 200; ++i) {
        const QString path =
            images + "/" + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        for (const QString& file : {path + ".png", path + ".thumb.png"}) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(png);
        }
        rows += QStringLiteral("%1('image', 'image:%2:10x10:%3', '%4.png', %5)")
                    .arg(i ? "," : "")
                    .arg(i)
                    .arg(png.size())
                    .arg(path)
                    .arg(1'700'000'000'000LL + i);
    }
    RawDatabase::execute(database(),
                         "CREATE TABLE clips (id INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT "
                         "NULL, value TEXT NOT NULL UNIQUE, html TEXT, image TEXT, source TEXT, "
                         "created_at INTEGER NOT NULL, pinned INTEGER NOT NULL DEFAULT 0);"
                         "INSERT INTO clips (kind, value, image, created_at) VALUES " +
                             rows);
    const auto files = [&] { return QDir(images).entryList(QDir::Files).size(); };

    QProcess* program = start({"--service"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return lockIsHeld(); }, 10000));
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ASSERT_GE(::inotify_add_watch(watch, QFile::encodeName(images).constData(), IN_DELETE), 0);
    QProcess* clear = start({"clear"});
    ASSERT_TRUE(clear->waitForStarted(10000));
    pollfd removal{watch, POLLIN, 0};
    EXPECT_EQ(::poll(&removal, 1, 60000), 1) << "no file was removed";
    ::kill(pid_t(program->processId()), SIGKILL);
    program->waitForFinished();
    ::close(watch);
    ASSERT_GT(files(), 0) << "the clear ended before it could be killed";
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT count(*) FROM clips"), "0");

    start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return files() == 0; }, 30000)) << files() << " left";
}

TEST_F(InstanceTest, CopiesMadeByAnotherProgramWhileThePaletteIsOpenAreKept) {
    start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(database()); }, 20000));
    QProcess* toggle = start({"--toggle"});
    ASSERT_TRUE(toggle->waitForFinished(60000));
    ASSERT_TRUE(QTest::qWaitFor(
        [] {
            return !findWindows({"--onlyvisible", "--name", "^Orvantide$"}).isEmpty();
        },
        20000));
    const QStringList texts{"con la paleta abierta 1", "con la paleta abierta 2",
                            "con la paleta abierta 3"};
    for (const QString& text : texts) {
        runTool("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, text.toUtf8());
        QTest::qWait(1000);
    }
    for (const QString& text : texts) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return rowsWith(text) == "1"; }, 20000))
            << text.toStdString();
    }
}

// Another program holds the history locked for 12 s while three texts are copied: none is lost.
TEST_F(InstanceTest, CopiesMadeWhileTheHistoryIsLockedAreStoredAfterwards) {
    start();
    ASSERT_TRUE(answersList(ORV_PROGRAM, environment));
    sqlite3* opened = nullptr;
    ASSERT_EQ(sqlite3_open_v2(QFile::encodeName(database()).constData(), &opened,
                              SQLITE_OPEN_READWRITE, nullptr),
              SQLITE_OK);
    const std::unique_ptr<sqlite3, CloseDatabase> other(opened);
    sqlite3_busy_timeout(other.get(), 10000);
    ASSERT_EQ(sqlite3_exec(other.get(), "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(other.get());

    // Three seconds apart: far more than the clipboard's polling interval.
    const QStringList texts{"copiado con el historial bloqueado 1",
                            "copiado con el historial bloqueado 2",
                            "copiado con el historial bloqueado 3"};
    for (const QString& text : texts) {
        QTest::qWait(3000);
        runTool("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, text.toUtf8());
    }
    QTest::qWait(3000);
    ASSERT_EQ(sqlite3_exec(other.get(), "ROLLBACK", nullptr, nullptr, nullptr), SQLITE_OK);

    for (const QString& text : texts) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return rowsWith(text) == "1"; }, 60000))
            << text.toStdString();
    }
    EXPECT_EQ(running(), 1);
}
