// The whole program under Weston (its X11 backend, nested in a private Xvfb): no data-control, so
// the clipboard comes through XWayland's bridge, and the palette is an XWayland window. Keys are
// typed on the outer display, as into Weston's own window.
#include "support/ExternalTool.h"
#include "support/RawDatabase.h"
#include "support/TestImages.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace orv;

namespace {

// The file exists a moment before its table does.
bool hasHistoryTable(const QString& path) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    const bool ready =
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT 1 FROM clips", -1, &statement, nullptr) == SQLITE_OK;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return ready;
}

class WestonTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("ORV_OUTER_DISPLAY")) {
            GTEST_SKIP() << "not inside compositor-run.sh --compositor weston";
        }
    }
    ~WestonTest() override {
        for (QProcess* process : processes) {
            process->kill();
            process->waitForFinished();
            delete process;
        }
    }

    // As a user starts it: the test's own offscreen platform is not passed on.
    // Its output goes to the test's, unless `capture`.
    QProcess* start(const QString& program, const QStringList& arguments = {},
                    bool capture = false) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.insert("XDG_DATA_HOME", data.path());
        auto* process = new QProcess;
        processes.append(process);
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(capture ? QProcess::MergedChannels
                                               : QProcess::ForwardedChannels);
        process->start(program, arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }
    QProcess* startProgram(bool capture = false) {
        QProcess* program = start(ORV_PROGRAM, {}, capture);
        EXPECT_TRUE(QTest::qWaitFor([&] { return hasHistoryTable(database()); }, 15000));
        return program;
    }
    QString database() const { return data.filePath("com.quarnelbrisk.orvantide/history.db"); }
    // Waits (generously: the machine may be loaded) for the query to give something.
    QString scalarSoon(const QString& query) {
        QString result;
        (void)QTest::qWaitFor(
            [&] {
                result = RawDatabase::scalar(database(), query);
                return !result.isEmpty();
            },
            15000);
        return result;
    }
    // The clipboard as XWayland's clients see it.
    static QString x11Clipboard() {
        return runTool("xclip", {"-o", "-selection", "clipboard"}, {}, true);
    }
    void xclipCopy(const QByteArray& text) {
        start("xclip", {"-i", "-quiet", "-selection", "clipboard"})->write(text);
        processes.last()->closeWriteChannel();
    }
    // Keys typed on the display Weston draws into reach its focused window.
    static void typeKeys(const QStringList& keys) {
        runTool("env", QStringList{"DISPLAY=" + qEnvironmentVariable("ORV_OUTER_DISPLAY"),
                                   "xdotool", "key", "--delay", "100"} +
                           keys);
    }

    // A history of each test's own.
    QTemporaryDir data;
    QList<QProcess*> processes;
};

}  // namespace

TEST_F(WestonTest, ThePaletteOpenedFromTheCommandLineTakesTheTypedKeys) {
    QProcess* program = startProgram();
    // Copied in XWayland clients, whose copies the program reads directly.
    for (const QString& text : {QStringLiteral("zqueso"), QStringLiteral("otro")}) {
        xclipCopy(text.toUtf8());
        ASSERT_EQ(scalarSoon("SELECT kind FROM clips WHERE value = '" + text + "'"), "text");
    }

    // A terminal in front, whose keys go to a file.
    QTemporaryDir folder;
    const QString typed = folder.filePath("typed");
    start("xterm", {"-e", "sh", "-c", "stty -icanon; exec cat > " + typed});
    const QByteArrayList terminal = findWindows({"--sync", "--onlyvisible", "--class", "XTerm"});
    ASSERT_FALSE(terminal.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return runTool("xdotool", {"getactivewindow"}, {}, true).trimmed() == terminal.first();
        },
        15000));

    QProcess* toggle = start(ORV_PROGRAM, {"--toggle"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return toggle->state() == QProcess::NotRunning; }, 15000));
    ASSERT_FALSE(findWindows({"--sync", "--onlyvisible", "--name", "^Orvantide$"}).isEmpty());
    // The search narrows the list to the older clip, which Return chooses.
    typeKeys({"z", "q", "Return"});
    QString chosen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            chosen = x11Clipboard();
            return chosen == "zqueso";
        },
        15000))
        << chosen.toStdString();
    QFile file(typed);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("zq")) << "the keys did not land in the terminal";
    EXPECT_EQ(program->state(), QProcess::Running);
}

TEST_F(WestonTest, AnImageThatTheBridgeOffersAsTextIsNoTextClip) {
    QProcess* program = startProgram(true);
    // Weston's bridge offers the PNG to X11 as UTF8_STRING only; the program says why it skips it.
    runTool("wl-copy", {"--type", "image/png"}, TestImages::png(30, 20, Qt::red));
    // Weston's window manager asks for the X selection only when an X event next reaches it: an X
    // client that starts is one.
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return runTool("xclip", {"-o", "-selection", "clipboard", "-t", "TARGETS"}, {}, true)
                .contains("UTF8_STRING");
        },
        15000));
    QByteArray log;
    const QString garbage = "SELECT count(*) FROM clips WHERE instr(value, char(65533)) > 0";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            log += program->readAll();
            return log.contains("skipping UTF8_STRING as text") ||
                   RawDatabase::scalar(database(), garbage) != "0";
        },
        15000))
        << log.toStdString();
    const QString text = QString::fromUtf8("Grüße, 木 y 🙂");
    xclipCopy(text.toUtf8());
    EXPECT_EQ(scalarSoon("SELECT kind FROM clips WHERE value = '" + text + "'"), "text");
    EXPECT_EQ(RawDatabase::scalar(database(), garbage), "0") << "no text clip of the PNG's bytes";
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT count(*) FROM clips"), "1");
}
