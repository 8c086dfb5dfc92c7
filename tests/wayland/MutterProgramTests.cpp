// The whole program under GNOME's Mutter (headless, with XWayland), through
// scripts/compositor-run.sh --compositor mutter: chosen clips pasted into an XWayland terminal
// while the machine is busy, and the copy-only notice where no tray exists.
#include "support/FakeNotificationServer.h"
#include "support/ProgramSession.h"

#include <QTemporaryDir>
#include <QThread>

using namespace orv;

namespace {

QString contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class MutterProgramTest : public ProgramSession {
protected:
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
        limit));
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
    startProgram();
    // No window to go back to: there is nothing to paste into.
    runTool("wl-copy", {"solo copiado"});
    ASSERT_TRUE(recorded("solo copiado"));
    chooseNewest();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.notices.isEmpty(); }, 15000));
    EXPECT_EQ(server.notices.first().body,
              "Copiado. Pulsa Ctrl+V para pegarlo (Ctrl+Mayús+V en un terminal).");
    EXPECT_TRUE(said(monitor, "member=Notify"));
    EXPECT_TRUE(said(monitor, "Copiado. Pulsa Ctrl+V")) << outputs[monitor].toStdString();
    EXPECT_EQ(program->state(), QProcess::Running);
}
