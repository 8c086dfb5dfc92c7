// The whole application as a user meets it: a window in front, the hot key, typing, Return, the
// paste landing in that window, and the tray menu. Run under Xvfb + openbox + a tray.
#include "support/ExternalTool.h"
#include "support/ProgramReady.h"
#include "support/RawDatabase.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

class ShellTest : public ::testing::Test {
protected:
    ~ShellTest() override {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }

    // A private home for this run: its own history, settings and instance.
    void launch(const QByteArray& settings = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", home.filePath("data"));
        environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
        environment.insert("XDG_RUNTIME_DIR", home.path());
        if (!settings.isEmpty()) {
            QDir().mkpath(home.filePath("config/com.quarnelbrisk.orvantide"));
            QFile file(home.filePath("config/com.quarnelbrisk.orvantide/defaults.json"));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(settings);
        }
        program.setProcessEnvironment(environment);
        program.start(ORV_PROGRAM);
        ASSERT_TRUE(program.waitForStarted(5000));
        ASSERT_TRUE(answersList(ORV_PROGRAM, environment));
    }
    QString database() const { return home.filePath("data/com.quarnelbrisk.orvantide/history.db"); }
    QString rows() const { return RawDatabase::scalar(database(), "SELECT count(*) FROM clips"); }

    void copy(const QByteArray& text) {
        const QString before = rows();
        runTool("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, text);
        EXPECT_TRUE(QTest::qWaitFor([&] { return rows() != before; }, 10000)) << text.toStdString();
    }
    static bool paletteVisible() {
        return !findWindows({"--onlyvisible", "--name", "^Orvantide$"}).isEmpty();
    }
    // The hot key, then the palette on screen with the keyboard: typed keys reach it from then on.
    static void openPalette() {
        runTool("xdotool", {"key", "ctrl+alt+v"});
        ASSERT_TRUE(QTest::qWaitFor(paletteVisible, 10000)) << "the hot key shows the palette";
        const QByteArray palette = findWindows({"--onlyvisible", "--name", "^Orvantide$"}).first();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return runTool("xdotool", {"getactivewindow"}).trimmed() == palette; }, 10000));
    }
    static QByteArrayList ownWindows() {
        return findWindows({"--onlyvisible", "--classname", "orvantide"});
    }
    // Opens the tray icon's menu with a click (and keys held, if any), then quits from it.
    void quitFromTheTrayMenu(const QStringList& click) {
        const QByteArrayList before = ownWindows();
        ASSERT_FALSE(before.isEmpty()) << "the tray icon is on screen";
        const QString icon = QString::fromLatin1(before.last());
        // The menu is a window of its own: keys go to it only once it is there. A loaded machine
        // may lose the click itself: it is made again.
        bool opened = false;
        for (int attempt = 0; attempt < 3 && !opened; ++attempt) {
            runTool("xdotool", QStringList{"mousemove", "--window", icon, "8", "8"} + click);
            opened = QTest::qWaitFor([&] { return ownWindows().size() > before.size(); }, 10000);
        }
        ASSERT_TRUE(opened) << "the menu opened";
        QTest::qWait(200);
        runTool("xdotool", {"key", "Up", "Return"});
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 10000));
        EXPECT_EQ(program.exitCode(), 0);
    }
    // The window that was in front before the palette: it records what is pasted into it.
    void focusTarget() {
        target.setWindowTitle("destino");
        target.resize(300, 120);
        target.show();
        target.activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([&] { return target.isActiveWindow(); }, 5000));
    }

    QTemporaryDir home;
    QProcess program;
    QPlainTextEdit target;
};

}  // namespace

TEST_F(ShellTest, AChosenClipIsPastedIntoTheWindowThatWasInFront) {
    launch();
    copy("uno para pegar");
    copy("dos");
    copy("tres");
    const QString stored = rows();

    focusTarget();
    openPalette();
    // Return right after typing chooses from the search's result, not from the list before it.
    runTool("xdotool", {"type", "--delay", "40", "pegar"});
    runTool("xdotool", {"key", "Return"});

    EXPECT_TRUE(QTest::qWaitFor([&] { return target.toPlainText() == "uno para pegar"; }, 10000))
        << "the target received: " << target.toPlainText().toStdString();
    EXPECT_FALSE(paletteVisible());
    QTest::qWait(1000);
    EXPECT_EQ(rows(), stored) << "the pasted clip is not recorded again";

    // Escape with an empty search closes the palette.
    openPalette();
    runTool("xdotool", {"key", "Escape"});
    EXPECT_TRUE(QTest::qWaitFor([] { return !paletteVisible(); }, 10000));

    quitFromTheTrayMenu({"click", "3"});
}

TEST_F(ShellTest, TheClearConfirmationOpensAboveThePaletteWithTheKeyboard) {
    launch();
    copy("uno");
    copy("dos");
    focusTarget();
    openPalette();
    const QByteArray palette = findWindows({"--onlyvisible", "--name", "^Orvantide$"}).first();

    // The footer's trash button.
    runTool("xdotool", {"mousemove", "--window", palette, "365", "444", "click", "1"});
    QByteArray alert;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QByteArrayList windows = findWindows({"--onlyvisible", "--name", "^Orvantide$"});
            alert = windows.size() == 2 ? windows[windows[0] == palette ? 1 : 0] : QByteArray();
            return !alert.isEmpty();
        },
        10000))
        << "the alert is on screen beside the palette";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return runTool("xdotool", {"getactivewindow"}).trimmed() == alert; }, 10000))
        << "the alert has the keyboard";
    const QByteArray stacking = runTool("xprop", {"-root", "_NET_CLIENT_LIST_STACKING"});
    const auto position = [&](const QByteArray& window) {
        return stacking.indexOf("0x" + QByteArray::number(window.toULongLong(), 16));
    };
    EXPECT_GT(position(alert), position(palette)) << "the alert is above the palette";
    EXPECT_TRUE(runTool("xprop", {"-id", alert, "_NET_WM_ICON"}).contains("Icon"))
        << "it carries the program's icon";

    runTool("xdotool", {"key", "Return"});  // "Limpiar"
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows() == "0"; }, 10000));

    // Control-click on the tray icon opens its menu too.
    runTool("xdotool", {"key", "Escape"});
    ASSERT_TRUE(QTest::qWaitFor([] { return !paletteVisible(); }, 10000));
    quitFromTheTrayMenu({"keydown", "ctrl", "click", "1", "keyup", "ctrl"});
}

TEST_F(ShellTest, WithoutAutomaticPastingTheClipIsOnlyPutOnTheClipboard) {
    launch(R"({"autoPaste": false})");
    copy("primero");
    copy("segundo");
    focusTarget();
    openPalette();
    runTool("xdotool", {"key", "Down", "Return"});
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return runTool("xclip", {"-selection", "clipboard", "-o"}) == "primero";
        },
        10000));
    EXPECT_TRUE(QTest::qWaitFor([] { return !paletteVisible(); }, 10000));
    QTest::qWait(600);
    EXPECT_EQ(target.toPlainText(), "") << "nothing is pasted";
}
