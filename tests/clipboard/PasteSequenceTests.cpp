#include "clipboard/PasteSequence.h"
#include "platform/fakes/FakeKeyboard.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryPasteboard.h"
#include "platform/fakes/VirtualScheduler.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace orv;

namespace {

using std::chrono::milliseconds;

class PasteSequenceTest : public ::testing::Test {
protected:
    PasteSequenceTest() {
        QObject::connect(&monitor, &ClipboardMonitor::captured, [this] { ++captures; });
        monitor.start();
        workspace.frontmost = FakeWorkspace::ourselves();
    }

    void run(const Clip& clip) {
        // Made anew for each run: services.primary may have changed.
        sequence.emplace(services);
        QObject::connect(&*sequence, &PasteSequence::written, [this] { ++closes; });
        QObject::connect(&*sequence, &PasteSequence::finished,
                         [this](const PasteSequence::Outcome& outcome) {
                             using Kind = PasteSequence::Outcome::Kind;
                             if (outcome.kind == Kind::failed) {
                                 reported.append(outcome.message);
                             } else if (outcome.kind == Kind::pasteByHand) {
                                 hints.append(outcome.message);
                             } else if (outcome.kind == Kind::permissions) {
                                 ++permissionWindows;
                             }
                         });
        task.emplace(sequence->run(clip, pasting, previous));
        QCoreApplication::processEvents();
    }
    // Moves virtual time on a millisecond at a time, letting the sequence resume in between.
    void after(milliseconds span) {
        for (milliseconds step{0}; step < span; ++step) {
            scheduler.advance(milliseconds(1));
            QCoreApplication::processEvents();
        }
    }
    static Clip text(const QString& value) {
        Clip clip;
        clip.id = 1;
        clip.value = value;
        return clip;
    }

    InMemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    FakeKeyInjector injector;
    FakeAccessibilityTrust trust;
    VirtualScheduler scheduler;
    ClipboardMonitor monitor{pasteboard, workspace};
    PasteSequence::Services services{monitor, workspace, injector, trust, scheduler};
    std::optional<PasteSequence> sequence;
    std::optional<QCoro::Task<>> task;

    bool pasting = true;
    std::optional<RunningApplication> previous = FakeWorkspace::application("Editor");
    int closes = 0;
    int captures = 0;
    int permissionWindows = 0;
    QStringList reported;
    QStringList hints;
};

}  // namespace

TEST_F(PasteSequenceTest, WritesClosesThenActivatesAndPastesAfterItsWaits) {
    run(text("hola"));
    EXPECT_EQ(pasteboard.data("text/plain"), "hola");
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(workspace.activated.isEmpty());

    after(milliseconds(179));
    EXPECT_TRUE(workspace.activated.isEmpty());
    after(milliseconds(1));
    ASSERT_EQ(workspace.activated.size(), 1);
    EXPECT_EQ(workspace.activated[0].localizedName, QStringLiteral("Editor"));
    EXPECT_TRUE(injector.taps.isEmpty());

    after(milliseconds(119));
    EXPECT_TRUE(injector.taps.isEmpty());
    after(milliseconds(1));
    EXPECT_EQ(injector.taps, (QList<QKeyCombination>{Qt::CTRL | Qt::Key_V}));
    EXPECT_TRUE(task->isReady());

    monitor.poll();
    EXPECT_EQ(captures, 0) << "our own write is not recorded";
}

TEST_F(PasteSequenceTest, ADesktopSlowToBringThePreviousWindowBackGetsTheKeysOnceItHas) {
    workspace.activatesLate = true;
    run(text("tarde"));
    after(milliseconds(300));
    ASSERT_EQ(workspace.activated.size(), 1);
    EXPECT_TRUE(injector.taps.isEmpty()) << "our hidden palette is still the active window";

    // Some other change of the active window: still not the one the paste is for.
    workspace.becomeActive(std::nullopt);
    after(milliseconds(1200));
    EXPECT_TRUE(injector.taps.isEmpty());

    workspace.becomeActive(FakeWorkspace::application("Editor"));
    after(milliseconds(1));
    EXPECT_EQ(injector.taps, (QList<QKeyCombination>{Qt::CTRL | Qt::Key_V}));
    EXPECT_TRUE(hints.isEmpty());
    EXPECT_TRUE(task->isReady());
    EXPECT_TRUE(workspace.listeners.isEmpty()) << "the sequence stopped listening";
}

TEST_F(PasteSequenceTest, APreviousWindowThatNeverComesBackGetsNoKeysAndTheUserIsToldToPaste) {
    workspace.activatesLate = true;
    run(text("nunca"));
    after(milliseconds(10000));
    EXPECT_EQ(workspace.activated.size(), 1);
    EXPECT_TRUE(injector.taps.isEmpty()) << "no keys into whatever window is in front";
    EXPECT_EQ(hints, QStringList{PasteSequence::pasteByHandHint});
    EXPECT_EQ(pasteboard.data("text/plain"), "nunca") << "it is on the clipboard all the same";
    EXPECT_TRUE(task->isReady());
    EXPECT_EQ(scheduler.pendingCount(), 0u);
    EXPECT_TRUE(workspace.listeners.isEmpty());
}

TEST_F(PasteSequenceTest, ATerminalThatPastesPrimaryGetsTheClipThereJustBeforeTheKeystroke) {
    InMemoryPasteboard primary;
    services.primary = &primary;
    previous = RunningApplication{"XTerm", "xterm", 0x400002, 4343};
    run(text("ls -l"));
    after(milliseconds(299));
    EXPECT_EQ(primary.writes, 0);
    after(milliseconds(1));
    EXPECT_EQ(primary.data("text/plain"), "ls -l");
    EXPECT_EQ(injector.taps, (QList<QKeyCombination>{Qt::SHIFT | Qt::Key_Insert}));
    EXPECT_EQ(pasteboard.writes, 1) << "the clipboard has it too";
    monitor.poll();
    EXPECT_EQ(captures, 0);

    previous = FakeWorkspace::application("Editor");
    run(text("otra"));
    after(milliseconds(300));
    EXPECT_EQ(primary.writes, 1) << "only terminals that paste PRIMARY";
}

TEST_F(PasteSequenceTest, WithoutAutomaticPastingOnlyTheClipboardChanges) {
    pasting = false;
    run(text("solo copiar"));
    after(milliseconds(1000));
    EXPECT_EQ(pasteboard.data("text/plain"), "solo copiar");
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(workspace.activated.isEmpty());
    EXPECT_TRUE(injector.taps.isEmpty());
    EXPECT_TRUE(task->isReady());
}

TEST_F(PasteSequenceTest, WithoutTrustThePermissionWindowComesInsteadOfTheKeystroke) {
    trust.trusted = false;
    run(text("hola"));
    after(milliseconds(300));
    EXPECT_EQ(workspace.activated.size(), 1);
    EXPECT_TRUE(injector.taps.isEmpty());
    EXPECT_EQ(permissionWindows, 1);
}

TEST_F(PasteSequenceTest, WithNoWayToPostKeysTheClipIsOnlyCopiedAndTheUserIsToldSo) {
    injector.available = false;
    run(text("a mano"));
    after(milliseconds(1000));
    EXPECT_EQ(pasteboard.data("text/plain"), "a mano");
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(injector.taps.isEmpty());
    EXPECT_EQ(permissionWindows, 0) << "no permission can help here";
    EXPECT_EQ(hints, QStringList{PasteSequence::pasteByHandHint});
    EXPECT_TRUE(PasteSequence::pasteByHandHint.contains("Ctrl+V"));

    // A post the desktop refuses is no paste either.
    hints.clear();
    injector.available = true;
    injector.posts = false;
    run(text("rechazado"));
    after(milliseconds(1000));
    EXPECT_EQ(hints, QStringList{PasteSequence::pasteByHandHint});

    // Without automatic pasting nobody expected a paste: no hint.
    hints.clear();
    injector.available = false;
    pasting = false;
    run(text("solo copiar"));
    after(milliseconds(1000));
    EXPECT_TRUE(hints.isEmpty());
}

TEST_F(PasteSequenceTest, WithNoPreviousApplicationItStillPastes) {
    previous.reset();
    run(text("hola"));
    after(milliseconds(300));
    EXPECT_TRUE(workspace.activated.isEmpty());
    EXPECT_EQ(injector.taps.size(), 1);
}

TEST_F(PasteSequenceTest, AClipThatCannotBeWrittenLeavesEverythingAsItWas) {
    pasteboard.copy({{"text/plain", "anterior"}});
    Clip image;
    image.kind = ClipKind::image;
    image.value = "image:x:1x1:1";
    image.imagePath = QStringLiteral("/nonexistent/ABC.png");
    run(image);
    after(milliseconds(1000));
    EXPECT_EQ(reported, QStringList{"La imagen original ya no está disponible."});
    EXPECT_EQ(closes, 0) << "the palette stays open";
    EXPECT_EQ(pasteboard.data("text/plain"), "anterior");
    EXPECT_TRUE(injector.taps.isEmpty());
}
