#include "clipboard/ClipboardMonitor.h"
#include "clipboard/ClipboardWriter.h"
#include "platform/MimeTypes.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryPasteboard.h"

#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

using namespace orv;

namespace {

class MonitorTest : public ::testing::Test {
protected:
    MonitorTest() { listen(monitor); }
    void listen(ClipboardMonitor& which) {
        QObject::connect(&which, &ClipboardMonitor::captured, [this](const CapturedClip& clip) {
            EXPECT_EQ(QThread::currentThread(), qApp->thread());
            captured.append(std::get<CapturedClip::Text>(clip.payload).text);
        });
    }
    // Lets the reads in the worker, and the reads they queued, end.
    void settle(ClipboardMonitor& which) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return !which.isReading(); }, 10000));
    }
    static Clip own(const QString& text) {
        Clip clip;
        clip.value = text;
        return clip;
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
    listen(late);
    late.start();
    late.poll();
    settle(late);
    late.poll();
    settle(late);
    EXPECT_EQ(captured, QStringList{"ya estaba"});
    EXPECT_EQ(late.lastChangeCount, pasteboard.changeCount());
}

TEST_F(MonitorTest, EachTickCapturesTheNewestChangeOnly) {
    monitor.start();
    settle(monitor);
    monitor.poll();
    EXPECT_FALSE(monitor.isReading()) << "nothing changed";
    pasteboard.copy({{"text/plain", "uno"}});
    pasteboard.copy({{"text/plain", "dos"}});
    monitor.poll();
    monitor.poll();
    settle(monitor);
    EXPECT_EQ(captured, QStringList{"dos"});
    const int readers = pasteboard.readers;
    monitor.poll();
    EXPECT_EQ(pasteboard.readers, readers) << "an idle tick reads nothing but the count";
}

TEST_F(MonitorTest, OurOwnWriteIsNotCapturedButTheNextChangeIs) {
    monitor.start();
    ClipboardWriter::write(own("elegido"), pasteboard);
    monitor.suppressCurrentChange();
    monitor.poll();
    settle(monitor);
    EXPECT_TRUE(captured.isEmpty());

    // The suppressed count stays set but no longer matches.
    ClipboardWriter::write(own("elegido"), pasteboard);
    monitor.suppressedChangeCount = pasteboard.changeCount();
    pasteboard.copy({{"text/plain", "ajeno"}});
    monitor.poll();
    settle(monitor);
    EXPECT_EQ(captured, QStringList{"ajeno"});
}

TEST_F(MonitorTest, RejectedChangesAreNotRetried) {
    monitor.start();
    pasteboard.copy({{"text/plain", "secreto"}, {MimeTypes::passwordManagerHint, "secret"}});
    monitor.poll();
    EXPECT_EQ(monitor.lastChangeCount, pasteboard.changeCount());
    settle(monitor);
    monitor.poll();
    EXPECT_FALSE(monitor.isReading());
    EXPECT_TRUE(captured.isEmpty());

    monitor.disconnect();
    pasteboard.copy({{"text/plain", "nadie escucha"}});
    monitor.poll();
    EXPECT_EQ(monitor.lastChangeCount, pasteboard.changeCount());
    settle(monitor);
}

TEST_F(MonitorTest, AChangeDuringAReadReplacesItWithOneMoreRead) {
    monitor.start();
    settle(monitor);
    pasteboard.holdReads(true);
    pasteboard.copy({{"text/plain", "uno"}});
    monitor.poll();
    ASSERT_TRUE(monitor.isReading());
    pasteboard.copy({{"text/plain", "dos"}});
    monitor.poll();
    pasteboard.copy({{"text/plain", "tres"}});
    monitor.poll();
    EXPECT_EQ(pasteboard.readers, 2) << "one read at a time";
    pasteboard.holdReads(false);
    settle(monitor);
    EXPECT_EQ(captured, QStringList{"tres"}) << "the read of contents gone is dropped";
    EXPECT_EQ(pasteboard.readers, 3);
}

TEST_F(MonitorTest, AReadThatOverlapsOurOwnWriteRecordsNothing) {
    monitor.start();
    settle(monitor);
    pasteboard.holdReads(true);
    pasteboard.copy({{"text/plain", "ajeno"}});
    monitor.poll();
    // The worker reads our write before the main thread marks it as ours.
    ClipboardWriter::write(own("elegido"), pasteboard);
    const int reads = pasteboard.reads();
    pasteboard.holdReads(false);
    for (int i = 0; i < 2000 && pasteboard.reads() == reads; ++i) {
        QThread::msleep(5);
    }
    ASSERT_GT(pasteboard.reads(), reads);
    monitor.suppressCurrentChange();
    settle(monitor);
    monitor.poll();
    settle(monitor);
    EXPECT_TRUE(captured.isEmpty());
}
