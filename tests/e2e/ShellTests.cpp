// The whole application as a user meets it: a window in front, the hot key, typing, Return, the
// paste landing in that window, and the tray menu. Run under Xvfb + openbox + a tray.
#include "support/ExternalTool.h"
#include "support/RawDatabase.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

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
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(database()); }, 10000));
        QTest::qWait(600);
    }
    QString database() const { return home.filePath("data/com.quarnelbrisk.orvantide/history.db"); }
    QString rows() const { return RawDatabase::scalar(database(), "SELECT count(*) FROM clips"); }

    void copy(const QByteArray& text) {
        const QString before = rows();
        runTool("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, text);
        EXPECT_TRUE(QTest::qWaitFor([&] { return rows() != before; }, 2000)) << text.toStdString();
    }
    static bool paletteVisible() {
        return !findWindows({"--onlyvisible", "--name", "^Orvantide$"}).isEmpty();
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
    runTool("xdotool", {"key", "ctrl+alt+v"});
    ASSERT_TRUE(QTest::qWaitFor(paletteVisible, 5000)) << "the hot key shows the palette";
    QTest::qWait(300);
    runTool("xdotool", {"type", "--delay", "40", "pegar"});
    QTest::qWait(400);
    runTool("xdotool", {"key", "Return"});

    EXPECT_TRUE(QTest::qWaitFor([&] { return target.toPlainText() == "uno para pegar"; }, 5000))
        << "the target received: " << target.toPlainText().toStdString();
    EXPECT_FALSE(paletteVisible());
    QTest::qWait(1000);
    EXPECT_EQ(rows(), stored) << "the pasted clip is not recorded again";

    // Escape with an empty search closes the palette.
    runTool("xdotool", {"key", "ctrl+alt+v"});
    ASSERT_TRUE(QTest::qWaitFor(paletteVisible, 5000));
    QTest::qWait(300);
    runTool("xdotool", {"key", "Escape"});
    EXPECT_TRUE(QTest::qWaitFor([] { return !paletteVisible(); }, 3000));

    // The tray icon's menu ends the program.
    const QByteArrayList icons = findWindows({"--onlyvisible", "--classname", "orvantide"});
    ASSERT_FALSE(icons.isEmpty()) << "the tray icon is on screen";
    const QString icon = QString::fromLatin1(icons.last());
    runTool("xdotool", {"mousemove", "--window", icon, "8", "8", "click", "3"});
    QTest::qWait(500);
    runTool("xdotool", {"key", "Up", "Return"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(program.exitCode(), 0);
}

TEST_F(ShellTest, WithoutAutomaticPastingTheClipIsOnlyPutOnTheClipboard) {
    launch(R"({"autoPaste": false})");
    copy("primero");
    copy("segundo");
    focusTarget();
    runTool("xdotool", {"key", "ctrl+alt+v"});
    ASSERT_TRUE(QTest::qWaitFor(paletteVisible, 5000));
    QTest::qWait(300);
    runTool("xdotool", {"key", "Down", "Return"});
    EXPECT_TRUE(QTest::qWaitFor(
        [] {
            return runTool("xclip", {"-selection", "clipboard", "-o"}) == "primero";
        },
        3000));
    EXPECT_TRUE(QTest::qWaitFor([] { return !paletteVisible(); }, 3000));
    QTest::qWait(600);
    EXPECT_EQ(target.toPlainText(), "") << "nothing is pasted";
}
