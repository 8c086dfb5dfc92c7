#include "clipboard/ClipboardKeeper.h"
#include "clipboard/ClipboardMonitor.h"
#include "clipboard/ClipboardWriter.h"
#include "platform/MimeTypes.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryPasteboard.h"
#include "support/TestImages.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

class KeeperTest : public ::testing::Test {
protected:
    KeeperTest() {
        // As the program wires it: what the recorder keeps is what may come back.
        QObject::connect(&monitor, &ClipboardMonitor::captured,
                         [this](const CapturedClip& clip, qint64 change) {
                             ++captures;
                             if (recording) {
                                 keeper.recorded(clip, change);
                             }
                         });
        QObject::connect(&keeper, &ClipboardKeeper::restored,
                         [this](const CapturedClip&) { ++restores; });
        monitor.start();
        settle();
    }
    void settle() {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !monitor.isReading(); }, 10000));
    }
    void copy(const PasteboardContents& contents) {
        pasteboard.copy(contents);
        settle();
    }
    void ownerQuits() {
        pasteboard.ownerQuits();
        settle();
    }
    static PasteboardContents text(const QByteArray& value) { return {{"text/plain", value}}; }

    InMemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    ClipboardMonitor monitor{pasteboard, workspace};
    ClipboardKeeper keeper{pasteboard, monitor};
    bool recording = true;
    int captures = 0;
    int restores = 0;
};

}  // namespace

TEST_F(KeeperTest, TheLastRecordedClipComesBackWhenItsOwnerQuits) {
    copy({{"text/plain", "  con formato\n"}, {"text/html", "<b>con formato</b>"}});
    ownerQuits();
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(pasteboard.writes, 1);
    EXPECT_EQ(pasteboard.contents(),
              ClipboardWriter::contents(CapturedClip{
                  CapturedClip::Text{"con formato", "<b>con formato</b>"}, std::nullopt}));
    // Our own write: not read, not recorded again.
    monitor.poll();
    settle();
    EXPECT_EQ(captures, 1);
    EXPECT_EQ(monitor.suppressedChangeCount, pasteboard.changeCount());

    // The next application's copy is taken as usual, and kept the same way.
    const QByteArray png = TestImages::png(8, 6, Qt::red);
    copy({{MimeTypes::png, png}, {"text/plain", "al lado"}});
    ownerQuits();
    EXPECT_EQ(restores, 2);
    EXPECT_EQ(pasteboard.contents(), (PasteboardContents{{MimeTypes::png, png}}));
}

TEST_F(KeeperTest, OnlyTheChangeThatJustEndedCounts) {
    copy(text("visible"));
    // A password manager's copy is never recorded: neither it nor the clip before comes back.
    copy({{"text/plain", "hunter2"}, {MimeTypes::passwordManagerHint, "secret"}});
    ownerQuits();
    EXPECT_EQ(restores, 0);
    EXPECT_TRUE(pasteboard.contents().isEmpty());

    // Nor a copy the recorder turned away (an excluded application).
    copy(text("permitido"));
    recording = false;
    copy(text("excluido"));
    ownerQuits();
    EXPECT_EQ(restores, 0);

    // Another owner taking over is no loss.
    recording = true;
    copy(text("primero"));
    copy(text("segundo"));
    EXPECT_EQ(pasteboard.writes, 0);
    EXPECT_EQ(pasteboard.contents().value("text/plain"), "segundo");

    // The owner quit and another copied before it was read: nothing to put back.
    pasteboard.holdReads(true);
    pasteboard.ownerQuits();
    pasteboard.copy(text("tercero"));
    pasteboard.holdReads(false);
    settle();
    EXPECT_EQ(pasteboard.writes, 0);
    EXPECT_EQ(pasteboard.contents().value("text/plain"), "tercero");
}

TEST_F(KeeperTest, NothingComesBackWhilePausedOrAfterOurOwnClear) {
    copy(text("antes de la pausa"));
    keeper.setPaused(true);
    ownerQuits();
    EXPECT_EQ(restores, 0);
    EXPECT_TRUE(pasteboard.contents().isEmpty());

    keeper.setPaused(false);
    copy(text("borrado"));
    pasteboard.write({});
    monitor.suppressCurrentChange();
    monitor.poll();
    settle();
    EXPECT_EQ(restores, 0);
    EXPECT_EQ(pasteboard.writes, 1);
    EXPECT_TRUE(pasteboard.contents().isEmpty());
}
