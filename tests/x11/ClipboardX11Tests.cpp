// The clipboard layer against a real X server: xclip and a small helper program play the other
// applications. Run through scripts/xvfb-run.sh.
#include "clipboard/ClipboardKeeper.h"
#include "clipboard/ClipboardMonitor.h"
#include "clipboard/ClipboardWriter.h"
#include "platform/x11/SystemPasteboard.h"
#include "platform/x11/X11SelectionReader.h"
#include "platform/x11/X11Workspace.h"
#include "support/ExternalTool.h"
#include "support/TestImages.h"

#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QtEndian>

#include <gtest/gtest.h>

using namespace orv;

namespace {

using namespace std::chrono_literals;

class ClipboardX11Test : public ::testing::Test {
protected:
    ClipboardX11Test() {
        QObject::connect(&monitor, &ClipboardMonitor::captured,
                         [this](const CapturedClip& clip) { captured.append(clip); });
        monitor.start();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !monitor.isReading(); }, 15000));
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
        const qint64 before = pasteboard.changeCount();
        runTool("xclip", {"-selection", "clipboard", "-t", type, "-i"}, data);
        waitForChange(before);
    }
    // The helper program offers several types at once.
    void ownerCopy(const QStringList& typesAndValues) {
        const qint64 before = pasteboard.changeCount();
        auto* owner = new QProcess;
        owners.append(owner);
        owner->start(ORV_CLIPBOARD_OWNER, typesAndValues);
        ASSERT_TRUE(owner->waitForReadyRead(10000));
        ASSERT_EQ(owner->readLine().trimmed(), "ready");
        waitForChange(before);
    }
    // What a real application put on the clipboard (tests/data/clipboard/), offered again, with
    // `extra` targets more that the owner refuses.
    void recordedCopy(const QString& folder, int extra = 0) {
        const qint64 before = pasteboard.changeCount();
        auto* owner = new QProcess;
        owners.append(owner);
        owner->start(ORV_RECORDED_OWNER, {QStringLiteral(ORV_RECORDED_CLIPBOARDS "/") + folder,
                                          QString::number(extra)});
        ASSERT_TRUE(owner->waitForReadyRead(30000));
        ASSERT_EQ(owner->readLine().trimmed(), "ready");
        waitForChange(before);
    }
    // Reads the clipboard as another application would, while this process serves it.
    QByteArray xclipRead(const QString& type) {
        return runTool("xclip", {"-selection", "clipboard", "-o", "-t", type});
    }
    QStringList targets() {
        return QString::fromUtf8(xclipRead("TARGETS")).split(u'\n', Qt::SkipEmptyParts);
    }
    // The change may have been noticed (and read) already, while the copy was being made.
    void waitForChange(qint64 before) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return pasteboard.changeCount() != before; }, 5000))
            << "the clipboard change was not noticed";
    }
    // An owner that keeps running when replaced, and answers `target` when told (answer()).
    QProcess* heldCopy(const QString& target, const QString& text) {
        const qint64 before = pasteboard.changeCount();
        auto* owner = new QProcess;
        owners.append(owner);
        owner->start(ORV_HELD_OWNER, {target, text});
        EXPECT_TRUE(owner->waitForReadyRead(10000));
        EXPECT_EQ(owner->readLine().trimmed(), "ready");
        waitForChange(before);
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return owner->canReadLine() || owner->waitForReadyRead(10); }, 15000));
        EXPECT_EQ(owner->readLine().trimmed(), "asked") << "the read asked for the held target";
        return owner;
    }
    static void answer(QProcess* owner) {
        owner->write("\n");
        owner->waitForBytesWritten();
    }
    QStringList capturedTexts() const {
        QStringList texts;
        for (const CapturedClip& clip : captured) {
            const auto* text = std::get_if<CapturedClip::Text>(&clip.payload);
            texts.append(text ? text->text : QStringLiteral("(otro)"));
        }
        return texts;
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
            return monitor.lastChangeCount == pasteboard.changeCount() && !monitor.isReading();
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

    SystemPasteboard pasteboard{QGuiApplication::clipboard()};
    X11Workspace workspace;
    ClipboardMonitor monitor{pasteboard, workspace};
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

TEST_F(ClipboardX11Test, WhatOtherApplicationsCopyIsCaptured) {
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

    // Not UTF-8, or with a NUL inside: no text (a bridge offers an image's bytes so).
    xclipCopy("caf\xE9 \xFF roto", "UTF8_STRING");
    expectNoCapture();
    xclipCopy(QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), "UTF8_STRING");
    expectNoCapture();

    xclipCopy(QByteArray(150'000, 'x'), "UTF8_STRING");
    EXPECT_EQ(std::get<CapturedClip::Text>(nextCapture().payload).text.size(), 100'000);

    xclipCopy("se\xF1or", "STRING");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{"señor", {}}))
        << "STRING is Latin-1";
}

TEST_F(ClipboardX11Test, FilesAndLinesCopiedInRealApplicationsAreCapturedWhole) {
    const QString folder = QStringLiteral("/tmp/cap/folder/");
    const CapturedClip::Payload twoFiles =
        CapturedClip::Files{{folder + "b.txt", folder + "informe final.pdf"}};
    for (const char* manager : {"pcmanfm", "thunar", "caja", "nautilus"}) {
        recordedCopy(QStringLiteral("%1-two-files").arg(manager));
        EXPECT_EQ(nextCapture().payload, twoFiles) << manager;
    }
    recordedCopy("pcmanfm-one-file");
    EXPECT_EQ(nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Files{{folder + "informe final.pdf"}}));

    // GTK writes text/plain;charset=utf-8 with CR LF; the same lines from xclip are the same clip.
    const CapturedClip::Payload lines =
        CapturedClip::Text{"uno\ndos\ntres\ncuatro\ncinco\nseis\nsiete", {}};
    for (const char* editor : {"mousepad", "gedit"}) {
        recordedCopy(QStringLiteral("%1-seven-lines").arg(editor));
        EXPECT_EQ(nextCapture().payload, lines) << editor;
    }
    xclipCopy("uno\ndos\ntres\ncuatro\ncinco\nseis\nsiete", "UTF8_STRING");
    EXPECT_EQ(nextCapture().payload, lines);
}

TEST_F(ClipboardX11Test, AnOwnerOfFiftyThousandTargetsHoldsNoLaterCopyBack) {
    recordedCopy("mousepad-seven-lines", 50'000);
    // Copies at a person's pace, from the moment that owner's copy was made; xclip quits once
    // replaced, so a copy not read by the next one is lost.
    QStringList copied;
    for (int i = 1; i <= 5; ++i) {
        copied.append(QStringLiteral("copia rápida %1").arg(i));
        xclipCopy(copied.last().toUtf8(), "UTF8_STRING");
        QTest::qWait(2000);
    }
    const auto quickOnes = [&] { return capturedTexts().filter(u"copia rápida"); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return quickOnes() == copied; }, 15000))
        << quickOnes().join(u", ").toStdString();
}

TEST_F(ClipboardX11Test, AnImageTooBigForTheHistoryArrivesCutAndNothingTakesItsPlace) {
    constexpr qsizetype cap = 20 * 1024 * 1024 + 1;
    const QByteArray huge = TestImages::png(40, 30, Qt::magenta) + QByteArray(25'000'000, 'z');
    xclipCopy(huge, "image/png");
    const auto png = std::get<CapturedClip::Image>(nextCapture().payload).png;
    EXPECT_EQ(png.size(), cap);
    EXPECT_TRUE(huge.startsWith(png));

    ownerCopy({"image/png=@" + writeFile("huge.png", huge), "text/plain=el texto de al lado"});
    EXPECT_EQ(std::get<CapturedClip::Image>(nextCapture().payload).png.size(), cap);

    // A TIFF cut short cannot be decoded; its text must not be kept in its place either.
    const QByteArray tiff = QByteArray("II*\0", 4) + QByteArray(25'000'000, 'z');
    ownerCopy({"image/tiff=@" + writeFile("huge.tiff", tiff), "text/plain=el texto de al lado"});
    expectNoCapture();
}

// Text is kept to 100 000 characters and its HTML to 200 000: the transfer, in pieces at these
// sizes, is read no further than those can need (sixteen bytes a character).
TEST_F(ClipboardX11Test, LargeTextsAreReadOnlyAsFarAsTheyAreKept) {
    const QByteArray text = QByteArray("€").repeated(10'000'000);
    xclipCopy(text, "UTF8_STRING");
    EXPECT_EQ(std::get<CapturedClip::Text>(nextCapture().payload).text,
              QString(100'000, QChar(0x20AC)));
    X11SelectionReader reader(qgetenv("DISPLAY"));
    const QByteArray read = reader.data("text/plain");
    EXPECT_TRUE(reader.complete());
    EXPECT_LE(read.size(), 16 * 100'000);
    EXPECT_TRUE(text.startsWith(read));

    const QByteArray html = "<p>" + QByteArray("ü").repeated(15'000'000);
    ownerCopy({"text/plain=corto", "text/html=@" + writeFile("large.html", html)});
    EXPECT_EQ(std::get<CapturedClip::Text>(nextCapture().payload).html->size(), 200'000);
    X11SelectionReader htmlReader(qgetenv("DISPLAY"));
    EXPECT_LE(htmlReader.data("text/html").size(), 16 * 200'000);
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

// A download or a script copies on while the palette is open: kept. What our own window copies
// is not.
TEST_F(ClipboardX11Test, OnlyCopiesMadeInOurWindowsAreSkippedWhateverIsInFront) {
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
    for (int i = 1; i <= 3; ++i) {
        xclipCopy(QStringLiteral("copiado con la paleta abierta %1").arg(i).toUtf8(),
                  "UTF8_STRING");
        EXPECT_EQ(nextCapture().payload,
                  CapturedClip::Payload(CapturedClip::Text{
                      QStringLiteral("copiado con la paleta abierta %1").arg(i), {}}));
        EXPECT_EQ(captured.last().source, std::nullopt);
    }
    // As the search field's Ctrl+C does.
    QGuiApplication::clipboard()->setText(QStringLiteral("copiado en casa"));
    xclipRead("UTF8_STRING");
    EXPECT_TRUE(SystemPasteboard(QGuiApplication::clipboard()).reader()->ours());
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

TEST_F(ClipboardX11Test, AnOwnerThatNeverAnswersHoldsNeitherTheMainThreadNorLaterCopies) {
    xclipCopy("antes del cuelgue", "UTF8_STRING");
    nextCapture();

    // Long enough that the read is still waiting while we look.
    pasteboard.readLimits.answerTimeout = 5min;
    pasteboard.readLimits.readTimeout = 5min;
    const qint64 before = pasteboard.changeCount();
    auto* hung = new QProcess;
    owners.append(hung);
    hung->start(ORV_HUNG_OWNER);
    ASSERT_TRUE(hung->waitForReadyRead(5000));
    waitForChange(before);
    ASSERT_TRUE(QTest::qWaitFor([&] { return monitor.isReading(); }, 10000));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 10; }, 10000));
    EXPECT_TRUE(monitor.isReading()) << "the owner has not answered, yet the main thread runs";

    // A later copy ends the wait for contents that are gone.
    xclipCopy("después del cuelgue", "UTF8_STRING");
    EXPECT_EQ(nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Text{"después del cuelgue", {}}));
    ASSERT_EQ(captured.size(), 2);
    EXPECT_EQ(captured.first().payload,
              CapturedClip::Payload(CapturedClip::Text{"antes del cuelgue", {}}));
}

TEST_F(ClipboardX11Test, AReadOfAnOwnerThatNeverAnswersEndsWithNothing) {
    auto* hung = new QProcess;
    owners.append(hung);
    hung->start(ORV_HUNG_OWNER);
    ASSERT_TRUE(hung->waitForReadyRead(5000));
    X11SelectionReader reader(qgetenv("DISPLAY"));
    EXPECT_TRUE(reader.formats().isEmpty());
    EXPECT_TRUE(reader.data("text/plain").isEmpty());
    EXPECT_FALSE(reader.complete());
}

// Each copy is read as its notice arrives, not on a tick, so that xclip's copies 0.1 s apart (each
// server quitting when the next takes over) are all kept.
TEST_F(ClipboardX11Test, CopiesInQuickSuccessionAreEachCaptured) {
    for (const char* text : {"rápido uno", "rápido dos", "rápido tres"}) {
        runTool("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, text);
        QTest::qWait(100);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return captured.size() >= 3; }, 15000));
    EXPECT_EQ(capturedTexts(), (QStringList{"rápido uno", "rápido dos", "rápido tres"}));
}

// A copy being read when the next one comes is kept while its owner still answers; an answer
// that would mix two owners' contents is never taken.
TEST_F(ClipboardX11Test, AReplacedOwnerThatStillAnswersIsCapturedButNeverMixedWithTheNext) {
    // Generous: the owner is told to answer only after the next copy.
    pasteboard.readLimits.replacedOwnerTimeout = 30s;
    QProcess* first = heldCopy("UTF8_STRING", "el primero");
    xclipCopy("el segundo", "UTF8_STRING");
    answer(first);
    EXPECT_TRUE(QTest::qWaitFor([&] { return captured.size() >= 2; }, 15000));
    EXPECT_EQ(capturedTexts(), (QStringList{"el primero", "el segundo"}));

    // The list of types came from one owner; the text would come from a password manager.
    captured.clear();
    QProcess* listing = heldCopy("TARGETS", "la lista");
    ownerCopy({"text/plain=hunter2", "x-kde-passwordManagerHint=secret"});
    answer(listing);
    expectNoCapture();
}

TEST_F(ClipboardX11Test, TheLastClipStaysOnTheClipboardWhenItsOwnerQuits) {
    ClipboardKeeper keeper(pasteboard, monitor);
    QObject::connect(&monitor, &ClipboardMonitor::captured, &keeper, &ClipboardKeeper::recorded);
    int restores = 0;
    QObject::connect(&keeper, &ClipboardKeeper::restored, [&] { ++restores; });
    // In the foreground, so that it can be killed.
    const auto serve = [&](const QByteArray& text) {
        const qint64 before = pasteboard.changeCount();
        auto* owner = new QProcess;
        owners.append(owner);
        owner->start("xclip", {"-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"});
        owner->write(text);
        owner->closeWriteChannel();
        waitForChange(before);
        return owner;
    };
    const auto clipboardText = [&] {
        return runTool("xclip", {"-selection", "clipboard", "-o", "-t", "UTF8_STRING"}, {}, true);
    };

    QProcess* owner = serve("sigue aquí");
    nextCapture();
    owner->kill();
    EXPECT_TRUE(QTest::qWaitFor([&] { return restores == 1; }, 15000));
    EXPECT_EQ(clipboardText(), "sigue aquí");
    expectNoCapture();

    // A password manager's copy is not kept: nothing comes back, not even the clip before it.
    ownerCopy({"text/plain=hunter2", "x-kde-passwordManagerHint=secret"});
    expectNoCapture();
    const qint64 before = pasteboard.changeCount();
    owners.last()->kill();
    owners.last()->waitForFinished();
    waitForChange(before);
    expectNoCapture();
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(clipboardText(), "");
}
