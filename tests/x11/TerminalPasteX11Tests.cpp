// The paste lands in real terminal emulators: each runs a shell that takes the keys it is given
// into a file, the paste sequence pastes a clip into it, Return ends the line, and the file must
// hold the clip and nothing else.
// A terminal that is not installed is skipped (scripts/setup.sh installs the ones listed here).
// Run through scripts/xvfb-run.sh.
#include "clipboard/ClipboardMonitor.h"
#include "clipboard/PasteSequence.h"
#include "platform/x11/SystemPasteboard.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11Workspace.h"
#include "platform/xdg/TimerScheduler.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

struct Terminal {
    QString program;
    // Put before "sh -c SCRIPT".
    QStringList options;
    // Its WM_CLASS class, to know when its window is in front.
    QString windowClass;
};

void PrintTo(const Terminal& terminal, std::ostream* out) {
    *out << terminal.program.toStdString();
}

QString contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class TerminalPasteTest : public ::testing::TestWithParam<Terminal> {
protected:
    ~TerminalPasteTest() override {
        terminal.kill();
        terminal.waitForFinished();
    }

    SystemPasteboard clipboard{QGuiApplication::clipboard()};
    SystemPasteboard primary{QGuiApplication::clipboard(), QClipboard::Selection};
    X11Workspace workspace;
    X11KeyInjector injector;
    X11AccessibilityTrust trust;
    TimerScheduler scheduler;
    ClipboardMonitor monitor{clipboard, workspace};
    QProcess terminal;
    QTemporaryDir temp;
};

}  // namespace

TEST_P(TerminalPasteTest, TheClipLandsOnTheCommandLine) {
    const Terminal& under = GetParam();
    if (QStandardPaths::findExecutable(under.program).isEmpty()) {
        GTEST_SKIP() << under.program.toStdString() << " is not installed";
    }
    ASSERT_TRUE(trust.isTrusted()) << "XTest is missing";
    QList<CapturedClip> captured;
    QObject::connect(&monitor, &ClipboardMonitor::captured,
                     [&](const CapturedClip& clip) { captured.append(clip); });
    monitor.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !monitor.isReading(); }, 15000));
    captured.clear();

    // Something else is selected, as after any mouse selection.
    primary.write({{"text/plain", "seleccionado antes"}});
    // Without line editing the shell is seen to hold the pasted text before Return ends the line,
    // which must then be all that is left of it.
    Clip clip;
    clip.id = 1;
    clip.value = QStringLiteral("echo 'pegado por Orvantide' && ls -l ~");
    const QString ready = temp.filePath("lista");
    const QString pasted = temp.filePath("pegado");
    const QString rest = temp.filePath("resto");
    const QString script = QString(
                               "stty -icanon; : > %1; dd bs=1 count=%2 of=%3 2>/dev/null; "
                               "IFS= read -r l; printf '%s|' \"$l\" > %4")
                               .arg(ready)
                               .arg(clip.value.toUtf8().size())
                               .arg(pasted, rest);
    terminal.start(under.program, under.options + QStringList{"sh", "-c", script});
    ASSERT_TRUE(terminal.waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ready); }, 20000))
        << "the shell in the terminal never started";
    std::optional<RunningApplication> front;
    const bool inFront = QTest::qWaitFor(
        [&] {
            front = workspace.frontmostApplication();
            return front && front->localizedName == under.windowClass;
        },
        20000);
    ASSERT_TRUE(inFront) << "in front: "
                         << (front ? front->localizedName.value_or("?").toStdString() : "nothing");

    const qint64 changes = clipboard.changeCount();
    PasteSequence paste({monitor, workspace, injector, trust, scheduler, &primary});
    QObject::connect(&paste, &PasteSequence::finished, [](const PasteSequence::Outcome& outcome) {
        EXPECT_EQ(outcome.kind, PasteSequence::Outcome::Kind::done)
            << outcome.message.toStdString();
    });
    auto sequence = paste.run(clip, true, front);
    ASSERT_TRUE(QTest::qWaitFor([&] { return sequence.isReady(); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return contents(pasted) == clip.value; }, 15000))
        << "the shell has \"" << contents(pasted).toStdString() << '"';
    injector.tap(QKeyCombination(Qt::Key_Return));
    EXPECT_TRUE(QTest::qWaitFor([&] { return contents(rest) == "|"; }, 15000))
        << "after the paste came \"" << contents(rest).toStdString() << '"';

    // Only our clipboard write counted, and it was not recorded.
    QTest::qWait(2 * ClipboardMonitor::interval.count());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !monitor.isReading(); }, 15000));
    EXPECT_EQ(clipboard.changeCount(), changes + 1);
    EXPECT_TRUE(captured.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Terminals, TerminalPasteTest,
    ::testing::Values(Terminal{"xterm", {"-e"}, "XTerm"}, Terminal{"uxterm", {"-e"}, "UXTerm"},
                      Terminal{"urxvt", {"-e"}, "URxvt"}, Terminal{"stterm", {"-e"}, "st-256color"},
                      Terminal{"xfce4-terminal", {"--disable-server", "-x"}, "Xfce4-terminal"}),
    [](const ::testing::TestParamInfo<Terminal>& info) {
        return QString(info.param.program).remove(u'-').toStdString();
    });
