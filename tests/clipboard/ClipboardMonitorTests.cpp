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
    pasteboard.announceChanges = false;
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

TEST_F(MonitorTest, AnnouncedChangesAreReadAtOnceAndTicksStillCatchTheOthers) {
    monitor.start();
    settle(monitor);
    for (const char* text : {"uno", "dos", "tres"}) {
        pasteboard.copy({{"text/plain", text}});
        EXPECT_TRUE(monitor.isReading()) << "read on the notice, not on a tick";
        settle(monitor);
    }
    EXPECT_EQ(captured, (QStringList{"uno", "dos", "tres"}));

    // Where every change is announced nothing polls: an idle program sleeps.
    EXPECT_FALSE(monitor.polls());
    pasteboard.announceChanges = false;
    pasteboard.copy({{"text/plain", "callado"}});

    // A backend that announces nothing is polled at the usual pace.
    monitor.start();
    EXPECT_TRUE(monitor.polls());
    settle(monitor);
    pasteboard.copy({{"text/plain", "callado también"}});
    EXPECT_FALSE(monitor.isReading());
    EXPECT_TRUE(QTest::qWaitFor([&] { return captured.size() == 5; }, 10000));
    EXPECT_EQ(captured.last(), "callado también");
}

TEST_F(MonitorTest, SeveralNoticesOfOneChangeMakeOneRead) {
    monitor.start();
    settle(monitor);
    pasteboard.copy({{"text/plain", "una vez"}});
    const int readers = pasteboard.readers;
    pasteboard.notifier.announce();
    pasteboard.notifier.announce();
    settle(monitor);
    pasteboard.notifier.announce();
    settle(monitor);
    EXPECT_EQ(pasteboard.readers, readers);
    EXPECT_EQ(captured, QStringList{"una vez"});
}

// Copies in quick succession: the read under way when the next copy comes is kept while its owner
// still answers, and only the newest change is read after it.
TEST_F(MonitorTest, AReadWhoseOwnerStillAnswersIsKeptWhenTheNextCopyComes) {
    monitor.start();
    settle(monitor);
    pasteboard.holdData(true);
    pasteboard.copy({{"text/plain", "uno"}}, InMemoryPasteboard::Owner::keepsRunning);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pasteboard.readersAtData() == 1; }, 10000));
    pasteboard.copy({{"text/plain", "dos"}});
    pasteboard.copy({{"text/plain", "tres"}});
    pasteboard.holdData(false);
    settle(monitor);
    EXPECT_EQ(captured, (QStringList{"uno", "tres"}));

    // An owner that quit when replaced answers nothing more: its read is dropped, not half kept.
    captured.clear();
    pasteboard.holdData(true);
    pasteboard.copy({{"text/plain", "cuatro"}}, InMemoryPasteboard::Owner::quitsWhenReplaced);
    ASSERT_TRUE(QTest::qWaitFor([&] { return pasteboard.readersAtData() == 1; }, 10000));
    pasteboard.copy({{"text/plain", "cinco"}});
    pasteboard.holdData(false);
    settle(monitor);
    EXPECT_EQ(captured, QStringList{"cinco"});
}

TEST_F(MonitorTest, AClipboardLeftWithoutOwnerIsReportedWithItsChange) {
    QList<qint64> emptied;
    QObject::connect(&monitor, &ClipboardMonitor::emptied,
                     [&](qint64 change) { emptied.append(change); });
    QList<qint64> changes;
    QObject::connect(&monitor, &ClipboardMonitor::captured,
                     [&](const CapturedClip&, qint64 change) { changes.append(change); });
    pasteboard.copy({{"text/plain", "dueño"}});
    monitor.start();
    settle(monitor);
    EXPECT_EQ(changes, QList<qint64>{1});
    pasteboard.ownerQuits();
    settle(monitor);
    EXPECT_EQ(emptied, QList<qint64>{2});

    // Replaced: nobody quit.
    pasteboard.copy({{"text/plain", "otro"}});
    settle(monitor);
    EXPECT_EQ(emptied, QList<qint64>{2});
    EXPECT_EQ(changes, (QList<qint64>{1, 3}));

    // Taken again before the main thread heard of the read: stale, not reported.
    pasteboard.holdReads(true);
    pasteboard.ownerQuits();
    const int begun = pasteboard.readsBegun();
    pasteboard.holdReads(false);
    for (int i = 0; i < 2000 && pasteboard.readsBegun() == begun; ++i) {
        QThread::msleep(5);
    }
    ASSERT_GT(pasteboard.readsBegun(), begun);
    pasteboard.copy({{"text/plain", "nuevo"}});
    settle(monitor);
    EXPECT_EQ(emptied, QList<qint64>{2});
    EXPECT_EQ(captured.last(), "nuevo");
}
