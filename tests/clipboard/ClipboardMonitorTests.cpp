#include "clipboard/ClipboardMonitor.h"
#include "clipboard/ClipboardWriter.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryPasteboard.h"

#include <gtest/gtest.h>

namespace {

class MonitorTest : public ::testing::Test {
protected:
    MonitorTest() {
        monitor.onCapture = [this](const CapturedClip& clip) {
            captured.append(std::get<CapturedClip::Text>(clip.payload).text);
        };
    }
    InMemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    ClipboardMonitor monitor{pasteboard, workspace};
    QStringList captured;
};

}  // namespace

TEST_F(MonitorTest, StartingCapturesWhatIsAlreadyThereOnce) {
    pasteboard.copy({{"text/plain", "ya estaba"}});
    ClipboardMonitor late(pasteboard, workspace);
    late.onCapture = monitor.onCapture;
    late.start();
    late.poll();
    late.poll();
    EXPECT_EQ(captured, QStringList{"ya estaba"});
    EXPECT_EQ(late.lastChangeCount, pasteboard.changeCount());
}

TEST_F(MonitorTest, EachTickCapturesTheNewestChangeOnly) {
    monitor.start();
    monitor.poll();
    EXPECT_TRUE(captured.isEmpty()) << "nothing changed";
    pasteboard.copy({{"text/plain", "uno"}});
    pasteboard.copy({{"text/plain", "dos"}});
    monitor.poll();
    monitor.poll();
    EXPECT_EQ(captured, QStringList{"dos"});
    const int reads = pasteboard.reads;
    monitor.poll();
    EXPECT_EQ(pasteboard.reads, reads) << "an idle tick reads nothing but the count";
}

TEST_F(MonitorTest, OurOwnWriteIsNotCapturedButTheNextChangeIs) {
    monitor.start();
    Clip clip;
    clip.value = "elegido";
    ClipboardWriter::write(clip, pasteboard);
    monitor.suppressCurrentChange();
    monitor.poll();
    EXPECT_TRUE(captured.isEmpty());

    // The suppressed count stays set but no longer matches.
    ClipboardWriter::write(clip, pasteboard);
    monitor.suppressedChangeCount = pasteboard.changeCount();
    pasteboard.copy({{"text/plain", "ajeno"}});
    monitor.poll();
    EXPECT_EQ(captured, QStringList{"ajeno"});
}

TEST_F(MonitorTest, RejectedChangesAreNotRetried) {
    monitor.start();
    pasteboard.copy({{"text/plain", "secreto"}, {Pasteboard::passwordManagerHint, "secret"}});
    monitor.poll();
    EXPECT_EQ(monitor.lastChangeCount, pasteboard.changeCount());
    monitor.poll();
    EXPECT_TRUE(captured.isEmpty());

    monitor.onCapture = nullptr;
    pasteboard.copy({{"text/plain", "nadie escucha"}});
    monitor.poll();
    EXPECT_EQ(monitor.lastChangeCount, pasteboard.changeCount());
}
