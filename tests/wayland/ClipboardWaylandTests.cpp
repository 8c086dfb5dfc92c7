// The clipboard layer against a real Wayland compositor, over data-control: wl-copy, wl-paste and a
// small helper program play the other applications. Run through scripts/compositor-run.sh.
#include "clipboard/ClipboardKeeper.h"
#include "clipboard/ClipboardMonitor.h"
#include "clipboard/ClipboardWriter.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/wayland/DataOffer.h"
#include "platform/wayland/DataOfferReader.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDataControl.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "store/HistoryStore.h"
#include "support/ExternalTool.h"
#include "support/TestImages.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace orv;

namespace {

using namespace std::chrono_literals;
using Selection = WaylandDataControl::Selection;

class ClipboardWaylandTest : public ::testing::Test {
protected:
    void SetUp() override {
        connection = WaylandConnection::connectToSession();
        ASSERT_TRUE(connection) << "no compositor at WAYLAND_DISPLAY";
        control = WaylandDataControl::create(*connection);
        ASSERT_TRUE(control) << "the compositor offers no data-control";
        pasteboard = std::make_unique<WaylandPasteboard>(*control, Selection::clipboard);
        monitor = std::make_unique<ClipboardMonitor>(*pasteboard, workspace);
        QObject::connect(monitor.get(), &ClipboardMonitor::captured,
                         [this](const CapturedClip& clip) { captured.append(clip); });
        monitor->start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !monitor->isReading(); }, 15000));
        captured.clear();
    }
    void TearDown() override {
        for (QProcess* owner : owners) {
            owner->kill();
            owner->waitForFinished();
            delete owner;
        }
        monitor.reset();
    }

    // wl-copy takes the clipboard with one type (and the text aliases of a text type).
    void wlCopy(const QByteArray& data, const QString& type) {
        const qint64 before = pasteboard->changeCount();
        runTool("wl-copy", {"--type", type}, data);
        waitForChange(before);
    }
    // The helper offers several types at once.
    QProcess* ownerCopy(const QStringList& arguments) {
        const qint64 before = pasteboard->changeCount();
        auto* owner = new QProcess;
        owners.append(owner);
        owner->start(ORV_WAYLAND_OWNER, arguments);
        EXPECT_TRUE(owner->waitForReadyRead(10000));
        EXPECT_EQ(owner->readLine().trimmed(), "ready");
        waitForChange(before);
        return owner;
    }
    QByteArray wlPaste(const QString& type) { return runTool("wl-paste", {"-n", "-t", type}); }
    QStringList offeredTypes() {
        QStringList types = QString::fromUtf8(runTool("wl-paste", {"-l"})).split(u'\n');
        types.removeAll(QString());
        types.sort();
        return types;
    }
    // Every selection change counts exactly once.
    void waitForChange(qint64 before) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return pasteboard->changeCount() != before; }, 15000))
            << "the clipboard change was not noticed";
        EXPECT_EQ(pasteboard->changeCount(), before + 1);
    }
    CapturedClip nextCapture() {
        const qsizetype before = captured.size();
        const bool arrived = QTest::qWaitFor([&] { return captured.size() > before; }, 15000);
        EXPECT_TRUE(arrived) << "nothing captured";
        return arrived ? captured.last() : CapturedClip{};
    }
    // Waits until the change was read, then two ticks more, and expects no capture.
    void expectNoCapture() {
        const qsizetype before = captured.size();
        const auto handled = [&] {
            return monitor->lastChangeCount == pasteboard->changeCount() && !monitor->isReading();
        };
        EXPECT_TRUE(QTest::qWaitFor(handled, 15000));
        QTest::qWait(2 * ClipboardMonitor::interval.count());
        EXPECT_TRUE(QTest::qWaitFor(handled, 15000));
        EXPECT_EQ(captured.size(), before);
    }
    QString writeFile(const QString& name, const QByteArray& bytes) {
        QFile file(temp.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    // Writes as the program does when a clip is chosen: the write counts once, its echo never.
    void writeBack(const Clip& clip) {
        const qint64 before = pasteboard->changeCount();
        ClipboardWriter::write(clip, *pasteboard);
        monitor->suppressCurrentChange();
        EXPECT_EQ(pasteboard->changeCount(), before + 1);
        ASSERT_TRUE(connection->roundtrip());  // the echo has arrived
        EXPECT_EQ(pasteboard->changeCount(), before + 1);
        EXPECT_FALSE(control->offer(Selection::clipboard)) << "the echo is read from our copy";
        ASSERT_TRUE(control->ownContents(Selection::clipboard));
    }

    std::unique_ptr<WaylandConnection> connection;
    std::unique_ptr<WaylandDataControl> control;
    std::unique_ptr<WaylandPasteboard> pasteboard;
    FakeWorkspace workspace;
    std::unique_ptr<ClipboardMonitor> monitor;
    QList<CapturedClip> captured;
    QList<QProcess*> owners;
    QTemporaryDir temp;
};

QByteArray color16(quint16 r, quint16 g, quint16 b, quint16 a) {
    QByteArray bytes(8, '\0');
    const quint16 values[] = {r, g, b, a};
    for (int i = 0; i < 4; ++i) {
        qToUnaligned(values[i], bytes.data() + 2 * i);
    }
    return bytes;
}

}  // namespace

TEST_F(ClipboardWaylandTest, WhatOtherApplicationsCopyIsCaptured) {
    wlCopy("  hola mundo \n", "text/plain");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{"hola mundo", {}}));

    ownerCopy({"text/plain=negrita", "text/html=<b>negrita</b>"});
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{
                                         "negrita", QStringLiteral("<b>negrita</b>")}));

    const QByteArray png = TestImages::png(40, 30, Qt::magenta);
    wlCopy(png, "image/png");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Image{png}));

    const QString file = writeFile("árbol y hoja.txt", "contenido");
    wlCopy(QUrl::fromLocalFile(file).toEncoded() + "\r\n", "text/uri-list");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Files{{file}}));

    wlCopy(color16(65535, 0, 0, 32768), "application/x-color");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Color{"#FF000080"}));

    // GTK 3 offers its X11 names on Wayland too, and the text/plain ones with CR LF.
    const QString gedit = QStringLiteral(ORV_RECORDED_CLIPBOARDS "/gedit-seven-lines/");
    ownerCopy({"text/plain;charset=utf-8=@" + gedit + "text_plain_charset_utf-8",
               "UTF8_STRING=@" + gedit + "UTF8_STRING", "text/plain=@" + gedit + "text_plain"});
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{
                                         "uno\ndos\ntres\ncuatro\ncinco\nseis\nsiete", {}}));
}

TEST_F(ClipboardWaylandTest, PasswordManagersAndAClearedClipboardAreNotCaptured) {
    ownerCopy({"text/plain=hunter2", "x-kde-passwordManagerHint=secret"});
    expectNoCapture();
    // However many types come before the mark.
    QStringList many;
    for (int i = 0; i < 3000; ++i) {
        many.append(QStringLiteral("x-orv-relleno-%1=x").arg(i));
    }
    ownerCopy(many + QStringList{"text/plain=hunter3", "x-kde-passwordManagerHint=secret"});
    expectNoCapture();
    EXPECT_LE(control->offer(Selection::clipboard)->types().size(),
              WaylandDataControl::maximumOfferedTypes + 2);
    wlCopy("secret", "x-kde-passwordManagerHint");
    expectNoCapture();

    const qint64 before = pasteboard->changeCount();
    runTool("wl-copy", {"--clear"});
    waitForChange(before);
    EXPECT_FALSE(control->offer(Selection::clipboard));
    expectNoCapture();

    wlCopy("después", "text/plain");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{"después", {}}));
}

TEST_F(ClipboardWaylandTest, ClipsGoBackInEveryFormatAndTheirEchoIsNotCaptured) {
    const auto roundTrip = [&](const Clip& clip, QStringList types) {
        writeBack(clip);
        types << WaylandDataControl::ownType;
        types.sort();
        EXPECT_EQ(offeredTypes(), types);
        const PasteboardContents contents = ClipboardWriter::contents(clip);
        for (auto it = contents.begin(); it != contents.end(); ++it) {
            EXPECT_EQ(wlPaste(it.key()), it.value()) << it.key().toStdString();
        }
        expectNoCapture();
    };

    roundTrip(Clip{1, ClipKind::text, "con formato", "<i>con formato</i>", {}, {}, {}, false},
              {"text/plain", "text/plain;charset=utf-8", "UTF8_STRING", "text/html"});
    EXPECT_EQ(wlPaste("text/html"), "<i>con formato</i>");
    EXPECT_EQ(wlPaste("UTF8_STRING"), "con formato");

    const QByteArray png = TestImages::png(64, 48, Qt::darkCyan);
    roundTrip(
        Clip{
            2, ClipKind::image, "image:x:64x48:1", {}, writeFile("IMAGEN.png", png), {}, {}, false},
        {"image/png"});
    EXPECT_EQ(wlPaste("image/png"), png);

    roundTrip(Clip{3, ClipKind::color, "#FF000080", {}, {}, {}, {}, false},
              {"application/x-color", "text/plain", "text/plain;charset=utf-8", "UTF8_STRING"});
    // Written from the hex text: alpha 0x80 is 0x8080 in sixteen bits.
    EXPECT_EQ(wlPaste("application/x-color"), color16(65535, 0, 0, 0x8080));

    const QString a = writeFile("uno.txt", "1");
    const QString b = writeFile("dos y tres.txt", "23");
    roundTrip(Clip{4, ClipKind::files, a + "\n" + b, {}, {}, {}, {}, false},
              {"text/uri-list", "x-special/gnome-copied-files", "x-special/mate-copied-files"});
    const QByteArray urlA = QUrl::fromLocalFile(a).toEncoded();
    const QByteArray urlB = QUrl::fromLocalFile(b).toEncoded();
    EXPECT_EQ(wlPaste("text/uri-list"), urlA + "\r\n" + urlB + "\r\n");
    EXPECT_EQ(wlPaste("x-special/gnome-copied-files"), "copy\n" + urlA + "\n" + urlB);

    // The next change of another application counts once more, no more.
    wlCopy("siguiente", "text/plain");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{"siguiente", {}}));
    EXPECT_EQ(captured.size(), 1);
}

TEST_F(ClipboardWaylandTest, AnotherCopyTakesOurSelectionOverAndWritingStillWorks) {
    writeBack(Clip{1, ClipKind::text, "nuestro", {}, {}, {}, {}, false});
    wlCopy("de otra aplicación", "text/plain");
    EXPECT_EQ(nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Text{"de otra aplicación", {}}));
    EXPECT_EQ(control->ownContents(Selection::clipboard), nullptr);
    EXPECT_EQ(wlPaste("text/plain"), "de otra aplicación");

    writeBack(Clip{2, ClipKind::text, "nuestro otra vez", {}, {}, {}, {}, false});
    EXPECT_EQ(wlPaste("text/plain"), "nuestro otra vez");
    expectNoCapture();
    EXPECT_EQ(captured.size(), 1);
}

TEST_F(ClipboardWaylandTest, AHugeOfferHoldsNeitherTheMainThreadNorMoreMemoryThanItsCap) {
    constexpr qsizetype huge = 50 * 1024 * 1024;
    // The caps as they stand, with time enough for a loaded machine to serve 50 MB.
    SelectionReadLimits defaults;
    defaults.answerTimeout = 30s;
    defaults.readTimeout = 60s;

    // The owner stops part-way, so that the read is surely under way while the main thread ticks.
    pasteboard->readLimits.answerTimeout = 5min;
    pasteboard->readLimits.readTimeout = 5min;
    const QByteArray image = TestImages::png(40, 30, Qt::magenta) + QByteArray(huge, 'z');
    QProcess* owner = ownerCopy({"--hold", "1048576", "image/png=@" + writeFile("huge.png", image),
                                 "text/plain=el texto de al lado"});
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return owner->readAllStandardOutput().contains("held"); }, 15000));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 10; }, 15000));
    EXPECT_TRUE(monitor->isReading()) << "the owner is held, yet the main thread runs";
    owner->write("go\n");
    // Cut one byte past what the history keeps: it refuses the image, and the text is not read.
    const QByteArray png = std::get<CapturedClip::Image>(nextCapture().payload).png;
    EXPECT_EQ(png.size(), defaults.imageBytes);
    EXPECT_GT(png.size(), HistoryStore::maximumImageBytes);
    EXPECT_TRUE(image.startsWith(png));

    // Not an image at all: nothing, and not the text beside it either.
    pasteboard->readLimits = defaults;
    const QByteArray bytes(huge, 'z');
    const QString path = writeFile("huge.bin", bytes);
    ownerCopy({"image/png=@" + path, "text/plain=el texto de al lado"});
    expectNoCapture();
    DataOfferReader reader(control->offer(Selection::clipboard), defaults);
    EXPECT_EQ(reader.data("image/png").size(), defaults.imageBytes);
    EXPECT_TRUE(reader.complete());

    // As a text: the same bytes, through a file (a pipe fed from here would be slow).
    const qint64 before = pasteboard->changeCount();
    const qsizetype capturesBefore = captured.size();
    runTool("sh", {"-c", "wl-copy --type text/plain < \"$0\"", path});
    waitForChange(before);
    // Read on the notice: the capture may be in before the change was seen here.
    ASSERT_TRUE(QTest::qWaitFor([&] { return captured.size() > capturesBefore; }, 15000));
    EXPECT_EQ(std::get<CapturedClip::Text>(captured.last().payload).text.size(), 100'000);
    DataOfferReader textReader(control->offer(Selection::clipboard), defaults);
    const QByteArray read = textReader.data("text/plain");
    EXPECT_EQ(read.size(), defaults.textBytes);
    EXPECT_TRUE(bytes.startsWith(read));
}

// wl-copy's server gone, the compositor leaves the clipboard empty: the last clip goes back on it.
TEST_F(ClipboardWaylandTest, TheLastClipStaysOnTheClipboardWhenItsOwnerQuits) {
    ClipboardKeeper keeper(*pasteboard, *monitor);
    QObject::connect(monitor.get(), &ClipboardMonitor::captured, &keeper,
                     &ClipboardKeeper::recorded);
    const qint64 before = pasteboard->changeCount();
    auto* owner = new QProcess;
    owners.append(owner);
    owner->start("wl-copy", {"--foreground", "--type", "text/plain", "sigue aquí"});
    waitForChange(before);
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{"sigue aquí", {}}));

    owner->kill();
    owner->waitForFinished();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return control->ownContents(Selection::clipboard) != nullptr; }, 15000));
    EXPECT_EQ(wlPaste("text/plain"), "sigue aquí");
    expectNoCapture();
}
