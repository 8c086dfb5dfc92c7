// The clipboard layer against a real X server: xclip and a small helper program play the other
// applications. Run through scripts/xvfb-run.sh.
#include "clipboard/ClipboardMonitor.h"
#include "clipboard/ClipboardReader.h"
#include "clipboard/ClipboardWriter.h"
#include "platform/SystemPasteboard.h"
#include "platform/X11Workspace.h"
#include "support/ExternalTool.h"
#include "support/TestImages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using namespace std::chrono_literals;

class ClipboardX11Test : public ::testing::Test {
protected:
    ClipboardX11Test() {
        monitor.onCapture = [this](const CapturedClip& clip) { captured.append(clip); };
        monitor.start();
        captured.clear();
    }
    ~ClipboardX11Test() override {
        for (QProcess* owner : owners) {
            owner->kill();
            owner->waitForFinished();
            delete owner;
        }
    }

    // xclip takes the clipboard with one type and serves it from the background.
    void xclipCopy(const QByteArray& data, const QString& type) {
        runTool("xclip", {"-selection", "clipboard", "-t", type, "-i"}, data);
        waitForChange();
    }
    // The helper program offers several types at once.
    void ownerCopy(const QStringList& typesAndValues) {
        auto* owner = new QProcess;
        owners.append(owner);
        owner->start(ORV_CLIPBOARD_OWNER, typesAndValues);
        ASSERT_TRUE(owner->waitForReadyRead(10000));
        ASSERT_EQ(owner->readLine().trimmed(), "ready");
        waitForChange();
    }
    // Reads the clipboard as another application would, while this process serves it.
    QByteArray xclipRead(const QString& type) {
        return runTool("xclip", {"-selection", "clipboard", "-o", "-t", type});
    }
    QStringList targets() {
        return QString::fromUtf8(xclipRead("TARGETS")).split(u'\n', Qt::SkipEmptyParts);
    }
    void waitForChange() {
        const qint64 before = monitor.lastChangeCount;
        EXPECT_TRUE(QTest::qWaitFor([&] { return pasteboard.changeCount() != before; }, 5000))
            << "the clipboard change was not noticed";
        changedAt.start();
    }
    // The next capture, which must come within one polling tick of the change.
    CapturedClip nextCapture() {
        const qsizetype before = captured.size();
        const bool arrived = QTest::qWaitFor([&] { return captured.size() > before; }, 3000);
        EXPECT_TRUE(arrived) << "nothing captured";
        EXPECT_LE(changedAt.elapsed(), ClipboardMonitor::interval.count() + 250);
        return arrived ? captured.last() : CapturedClip{};
    }
    // Waits two ticks after the change was handled and expects no capture.
    void expectNoCapture() {
        const qsizetype before = captured.size();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return monitor.lastChangeCount == pasteboard.changeCount(); }, 3000));
        QTest::qWait(2 * ClipboardMonitor::interval.count());
        EXPECT_EQ(captured.size(), before);
    }

    SystemPasteboard pasteboard{QGuiApplication::clipboard()};
    X11Workspace workspace;
    ClipboardMonitor monitor{pasteboard, workspace};
    QList<CapturedClip> captured;
    QList<QProcess*> owners;
    QElapsedTimer changedAt;
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

TEST_F(ClipboardX11Test, WhatOtherApplicationsCopyIsCapturedWithinOneTick) {
    xclipCopy("  hola mundo \n", "UTF8_STRING");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{"hola mundo", {}}));

    ownerCopy({"text/plain=negrita", "text/html=<b>negrita</b>"});
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{
                                         "negrita", QStringLiteral("<b>negrita</b>")}));

    const QByteArray png = TestImages::png(40, 30, Qt::magenta);
    xclipCopy(png, "image/png");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Image{png}));

    xclipCopy("file:///tmp/a%20b.txt\r\nfile:///tmp/%C3%A1rbol\r\n", "text/uri-list");
    EXPECT_EQ(nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Files{{"/tmp/a b.txt", "/tmp/árbol"}}));

    xclipCopy("caf\xE9 \xFF roto", "UTF8_STRING");
    const CapturedClip brokenClip = nextCapture();
    const auto* broken = std::get_if<CapturedClip::Text>(&brokenClip.payload);
    ASSERT_TRUE(broken) << "text that is not UTF-8 is still text";
    EXPECT_TRUE(broken->text.endsWith(u" roto"));

    xclipCopy(QByteArray(150'000, 'x'), "UTF8_STRING");
    EXPECT_EQ(std::get<CapturedClip::Text>(nextCapture().payload).text.size(), 100'000);

    // 25 MB arrive whole (in pieces, over X11); the history, not the reader, drops them.
    QByteArray huge = png + QByteArray(25 * 1024 * 1024, 'z');
    xclipCopy(huge, "image/png");
    const CapturedClip hugeClip = nextCapture();
    EXPECT_EQ(std::get<CapturedClip::Image>(hugeClip.payload).png.size(), huge.size());
}

TEST_F(ClipboardX11Test, PasswordManagersAndBlankTextAreNotCaptured) {
    ownerCopy({"text/plain=hunter2", "x-kde-passwordManagerHint=secret"});
    expectNoCapture();
    ownerCopy({"text/plain=hunter3", "x-kde-passwordManagerHint=1"});
    expectNoCapture();
    xclipCopy(" \n\t ", "UTF8_STRING");
    expectNoCapture();
    xclipCopy("https://example.org/\r\n", "text/uri-list");
    expectNoCapture();  // web addresses without a plain text are nothing to keep
    xclipCopy("después", "UTF8_STRING");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{"después", {}}));
}

TEST_F(ClipboardX11Test, CopiesMadeWhileOurWindowIsFocusedAreNotCaptured) {
    QWidget window;
    window.setWindowTitle("Orvantide");
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto front = workspace.frontmostApplication();
            return front && front->bundleIdentifier == Workspace::ownBundleIdentifier;
        },
        5000))
        << "our window never became active";
    xclipCopy("copiado en casa", "UTF8_STRING");
    expectNoCapture();
}

TEST_F(ClipboardX11Test, ClipsGoBackAsTheOtherApplicationsExpectAndAreNotRecapturedByUs) {
    const auto roundTrip = [&](const Clip& clip) {
        ClipboardWriter::write(clip, pasteboard);
        monitor.suppressCurrentChange();
    };

    ownerCopy({"text/plain=con formato", "text/html=<i>con formato</i>"});
    const auto text = std::get<CapturedClip::Text>(nextCapture().payload);
    Clip rich{1, ClipKind::text, text.text, text.html, {}, {}, {}, false};
    roundTrip(rich);
    EXPECT_TRUE(targets().contains("text/html"));
    EXPECT_TRUE(targets().contains("UTF8_STRING"));
    EXPECT_EQ(xclipRead("text/html"), "<i>con formato</i>");
    EXPECT_EQ(xclipRead("UTF8_STRING"), "con formato");
    expectNoCapture();

    const QByteArray png = TestImages::png(64, 48, Qt::darkCyan);
    xclipCopy(png, "image/png");
    const auto image = std::get<CapturedClip::Image>(nextCapture().payload);
    const QString imagePath = temp.filePath("IMAGEN.png");
    {
        QFile file(imagePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(image.png);
    }
    roundTrip(Clip{2, ClipKind::image, "image:x:64x48:1", {}, imagePath, {}, {}, false});
    EXPECT_TRUE(targets().contains("image/png"));
    EXPECT_EQ(xclipRead("image/png"), png);
    expectNoCapture();

    xclipCopy(color16(65535, 0, 0, 32768), "application/x-color");
    const auto color = std::get<CapturedClip::Color>(nextCapture().payload);
    EXPECT_EQ(color.hex, "#FF000080");
    roundTrip(Clip{3, ClipKind::color, color.hex, {}, {}, {}, {}, false});
    EXPECT_TRUE(targets().contains("application/x-color"));
    // Written from the hex text: alpha 0x80 is 0x8080 in sixteen bits.
    EXPECT_EQ(xclipRead("application/x-color"), color16(65535, 0, 0, 0x8080));
    EXPECT_EQ(xclipRead("UTF8_STRING"), "#FF000080");
    expectNoCapture();

    const QString a = temp.filePath("uno.txt");
    const QString b = temp.filePath("dos y tres.txt");
    QFile(a).open(QIODevice::WriteOnly);
    QFile(b).open(QIODevice::WriteOnly);
    xclipCopy(QUrl::fromLocalFile(a).toEncoded() + "\r\n" + QUrl::fromLocalFile(b).toEncoded(),
              "text/uri-list");
    const auto files = std::get<CapturedClip::Files>(nextCapture().payload);
    EXPECT_EQ(files.paths, (QStringList{a, b}));
    roundTrip(Clip{4, ClipKind::files, files.paths.join(u'\n'), {}, {}, {}, {}, false});
    const QByteArray uris =
        QUrl::fromLocalFile(a).toEncoded() + "\r\n" + QUrl::fromLocalFile(b).toEncoded() + "\r\n";
    EXPECT_EQ(xclipRead("text/uri-list"), uris);
    EXPECT_EQ(
        xclipRead("x-special/gnome-copied-files"),
        "copy\n" + QUrl::fromLocalFile(a).toEncoded() + "\n" + QUrl::fromLocalFile(b).toEncoded());
    expectNoCapture();
}

TEST_F(ClipboardX11Test, AnOwnerThatNeverAnswersHoldsUsOnlyForAWhileAndLosesNothing) {
    xclipCopy("antes del cuelgue", "UTF8_STRING");
    nextCapture();

    auto* hung = new QProcess;
    owners.append(hung);
    hung->start(ORV_HUNG_OWNER);
    ASSERT_TRUE(hung->waitForReadyRead(5000));
    waitForChange();
    monitor.lastChangeCount = pasteboard.changeCount();  // read by hand, timed
    QElapsedTimer held;
    held.start();
    const auto clip = ClipboardReader::read(pasteboard, workspace);
    const qint64 blocked = held.elapsed();
    std::printf("[ measure  ] a clipboard owner that never answers held the main thread %lld ms\n",
                static_cast<long long>(blocked));
    EXPECT_FALSE(clip);
    EXPECT_LT(blocked, 12'000);

    xclipCopy("después del cuelgue", "UTF8_STRING");
    EXPECT_EQ(nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Text{"después del cuelgue", {}}));
    ASSERT_GE(captured.size(), 2);
    EXPECT_EQ(captured.first().payload,
              CapturedClip::Payload(CapturedClip::Text{"antes del cuelgue", {}}));
}
