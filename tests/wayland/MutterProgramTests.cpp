// The whole program under GNOME's Mutter (headless, with XWayland), through
// scripts/compositor-run.sh --compositor mutter: chosen clips pasted into an XWayland terminal
// while the machine is busy, and the copy-only notice where no tray exists.
#include "support/ExternalTool.h"
#include "support/FakeNotificationServer.h"
#include "support/RawDatabase.h"

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

using namespace orv;

namespace {

QString contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class MutterProgramTest : public ::testing::Test {
protected:
    ~MutterProgramTest() override {
        for (QProcess* process : processes) {
            process->kill();
            process->waitForFinished();
            delete process;
        }
    }

    // As a user starts it: the test's own offscreen platform is not passed on.
    QProcess* start(const QString& program, const QStringList& arguments = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        auto* process = new QProcess;
        processes.append(process);
        process->setProcessEnvironment(environment);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(program, arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }
    QProcess* startProgram() {
        QProcess* program = start(ORV_PROGRAM);
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return RawDatabase::hasTable(database(), "clips"); }, 15000));
        return program;
    }
    QString database() const {
        return qEnvironmentVariable("XDG_DATA_HOME") + "/com.quarnelbrisk.orvantide/history.db";
    }
    bool recorded(const QString& value) {
        return QTest::qWaitFor(
            [&] {
                return !RawDatabase::scalar(database(),
                                            "SELECT id FROM clips WHERE value = '" + value + "'")
                            .isEmpty();
            },
            15000);
    }
    static QByteArray activeWindow() {
        return runTool("xdotool", {"getactivewindow"}, {}, true).trimmed();
    }
    // The palette of a second launch, in front with the keyboard; Return chooses the newest clip.
    static void chooseNewest() {
        QProcess toggle;
        toggle.start(ORV_PROGRAM, {"--toggle"});
        ASSERT_TRUE(toggle.waitForFinished(15000));
        QByteArrayList palette;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                palette = findWindows({"--onlyvisible", "--name", "^Orvantide$"});
                return !palette.isEmpty() && activeWindow() == palette.first();
            },
            15000))
            << "the palette is in front";
        runTool("xdotool", {"key", "Return"});
    }

    QList<QProcess*> processes;
    QTemporaryDir temp;
};

}  // namespace

TEST_F(MutterProgramTest,
       EveryChosenClipIsPastedIntoTheXWaylandWindowItCameFromWhileTheMachineIsBusy) {
    // The terminal's shell takes each key as it comes, into a file.
    const QString typed = temp.filePath("typed");
    start("xterm", {"-class", "PasteTerm", "-e", "sh", "-c",
                    "stty -icanon -echo; exec cat > '" + typed + "'"});
    QByteArrayList terminal;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return !(terminal = findWindows({"--onlyvisible", "--class", "PasteTerm"})).isEmpty();
        },
        15000));
    startProgram();
    // As many busy loops as cores, and one more: the desktop is slow to move the focus.
    for (int i = 0; i <= QThread::idealThreadCount(); ++i) {
        start("sh", {"-c", "while :; do :; done"});
    }

    QString expected;
    QStringList missed;
    for (int i = 1; i <= 12; ++i) {
        // Copied natively and from X11 in turn.
        const QString clip = QStringLiteral("clip%1.").arg(i);
        if (i % 2 == 0) {
            runTool("wl-copy", {clip});
        } else {
            runTool("xclip", {"-selection", "clipboard"}, clip.toUtf8());
        }
        ASSERT_TRUE(recorded(clip)) << clip.toStdString();
        runTool("xdotool", {"windowactivate", terminal.first()}, {}, true);
        ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == terminal.first(); }, 15000));
        chooseNewest();
        if (HasFatalFailure()) {
            return;
        }
        expected += clip;
        if (!QTest::qWaitFor([&] { return contents(typed) == expected; }, 15000)) {
            missed.append(clip);
            expected = contents(typed);
        }
    }
    EXPECT_TRUE(missed.isEmpty()) << "missed: " << missed.join(' ').toStdString()
                                  << "; pasted: " << contents(typed).toStdString();
}

TEST_F(MutterProgramTest, WithNoTrayTheCopyOnlyNoticeGoesOutAsADesktopNotification) {
    // Mutter has no notification server of its own: the test plays it.
    FakeNotificationServer server;
    QProcess* monitor =
        start("dbus-monitor", {"--session", "interface='org.freedesktop.Notifications'"});
    QProcess* program = startProgram();
    // No window to go back to: there is nothing to paste into.
    runTool("wl-copy", {"solo copiado"});
    ASSERT_TRUE(recorded("solo copiado"));
    chooseNewest();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.notices.isEmpty(); }, 15000));
    EXPECT_EQ(server.notices.first().body,
              "Copiado. Pulsa Ctrl+V para pegarlo (Ctrl+Mayús+V en un terminal).");
    QByteArray seen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            seen += monitor->readAllStandardOutput();
            return seen.contains("member=Notify") && seen.contains("Copiado. Pulsa Ctrl+V");
        },
        15000))
        << seen.toStdString();
    EXPECT_EQ(program->state(), QProcess::Running);
}
