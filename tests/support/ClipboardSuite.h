#pragma once

// The clipboard layer against a real display server, one suite for every backend. The including
// test program instantiates it with a backend class that holds the backend's `pasteboard` (null
// when there is no clipboard to test) and `workspace`, names the type plain UTF-8 text is copied
// as (`text`), says whether `typesComeWithTheOffer` (an owner that never answers still has types),
// whether it `dropsUsForFiftyThousandTypes` (why, or null), lets our write's echo come back
// (`settle()`), says which types it `added(written)` to those written, and gives the command lines
// (program first) of the other applications: `copy(file, type)` copies a file's bytes as one type,
// `serve(type)` serves its standard input until killed, `paste(type)` prints the clipboard's bytes,
// `offered()` its types one a line, `owner(typesAndValues)` offers TYPE=VALUE… (VALUE @PATH: a
// file's bytes), `recorded(folder, extra)` a real application's copy with `extra` types more, and
// `hung()` never answers. Every owner program prints "ready" once the clipboard is its own.
#include "clipboard/ClipboardKeeper.h"
#include "clipboard/ClipboardMonitor.h"
#include "clipboard/ClipboardWriter.h"
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

namespace orv {

using namespace std::chrono_literals;

template <typename Backend>
class ClipboardSuite : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(backend.pasteboard) << "no clipboard to test";
        monitor = std::make_unique<ClipboardMonitor>(pasteboard(), backend.workspace);
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

    auto& pasteboard() { return *backend.pasteboard; }
    static QByteArray run(const QStringList& command, const QByteArray& input = {},
                          bool anyExit = false) {
        return runTool(command.first(), command.mid(1), input, anyExit);
    }
    // One type, from the other application's command-line tool.
    void copy(const QByteArray& data, const QString& type) {
        const qint64 before = pasteboard().changeCount();
        copyNoWait(data, type);
        waitForChange(before);
    }
    void copyNoWait(const QByteArray& data, const QString& type) {
        mark = captured.size();
        run(Backend::copy(writeFile(QStringLiteral("copia-%1").arg(++files), data), type));
    }
    QByteArray paste(const QString& type, bool anyExit = false) {
        return run(Backend::paste(type), {}, anyExit);
    }
    QStringList offered() {
        return QString::fromUtf8(run(Backend::offered())).split(u'\n', Qt::SkipEmptyParts);
    }
    // An owner program; once it says it is ready, the clipboard is its own.
    QProcess* startOwner(const QStringList& command, bool waitForIt = true) {
        const qint64 before = pasteboard().changeCount();
        mark = captured.size();
        auto* owner = new QProcess;
        owners.append(owner);
        owner->start(command.first(), command.mid(1));
        EXPECT_TRUE(owner->waitForReadyRead(30000));
        EXPECT_EQ(owner->readLine().trimmed(), "ready");
        if (waitForIt) {
            waitForChange(before);
        }
        return owner;
    }
    QProcess* ownerCopy(const QStringList& typesAndValues) {
        return startOwner(Backend::owner(typesAndValues));
    }
    // What a real application put on the clipboard (tests/data/clipboard/), offered again, with
    // `extra` types more that the owner refuses.
    void recordedCopy(const QString& folder, int extra = 0) {
        startOwner(Backend::recorded(QStringLiteral(ORV_RECORDED_CLIPBOARDS "/") + folder, extra));
    }
    // Every change of owner counts exactly once.
    void waitForChange(qint64 before) {
        EXPECT_TRUE(QTest::qWaitFor([&] { return pasteboard().changeCount() != before; }, 15000))
            << "the clipboard change was not noticed";
        EXPECT_EQ(pasteboard().changeCount(), before + 1);
    }
    // Writes as the program does when a clip is chosen: the write counts once, its echo never.
    void writeBack(const Clip& clip) {
        const qint64 before = pasteboard().changeCount();
        ClipboardWriter::write(clip, pasteboard());
        monitor->suppressCurrentChange();
        EXPECT_EQ(pasteboard().changeCount(), before + 1);
        backend.settle();
        EXPECT_EQ(pasteboard().changeCount(), before + 1);
        EXPECT_TRUE(pasteboard().reader()->ours());
    }
    QStringList capturedTexts() const {
        QStringList texts;
        for (const CapturedClip& clip : captured) {
            const auto* text = std::get_if<CapturedClip::Text>(&clip.payload);
            texts.append(text ? text->text : QStringLiteral("(otro)"));
        }
        return texts;
    }
    // The capture since the last copy (it may come in while the copy is being made) or capture.
    CapturedClip nextCapture() {
        const bool arrived = QTest::qWaitFor([&] { return captured.size() > mark; }, 15000);
        EXPECT_TRUE(arrived) << "nothing captured";
        mark = captured.size();
        return arrived ? captured.last() : CapturedClip{};
    }
    // Waits until the change was read, then two ticks more, and expects no capture since the last
    // copy or capture.
    void expectNoCapture() {
        const qsizetype before = mark;
        const auto handled = [&] {
            return monitor->lastChangeCount == pasteboard().changeCount() && !monitor->isReading();
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

    Backend backend;
    std::unique_ptr<ClipboardMonitor> monitor;
    QList<CapturedClip> captured;
    QList<QProcess*> owners;
    QTemporaryDir temp;
    int files = 0;
    qsizetype mark = 0;
};

TYPED_TEST_SUITE_P(ClipboardSuite);

TYPED_TEST_P(ClipboardSuite, WhatOtherApplicationsCopyIsCaptured) {
    const QString text = TypeParam::text;
    this->copy("  hola mundo \n", text);
    EXPECT_EQ(this->nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Text{"hola mundo", {}}));

    this->ownerCopy({"text/plain=negrita", "text/html=<b>negrita</b>"});
    EXPECT_EQ(this->nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{
                                               "negrita", QStringLiteral("<b>negrita</b>")}));

    const QByteArray png = TestImages::png(40, 30, Qt::magenta);
    this->copy(png, "image/png");
    EXPECT_EQ(this->nextCapture().payload, CapturedClip::Payload(CapturedClip::Image{png}));

    this->copy("file:///tmp/a%20b.txt\r\nfile:///tmp/%C3%A1rbol\r\n", "text/uri-list");
    EXPECT_EQ(this->nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Files{{"/tmp/a b.txt", "/tmp/árbol"}}));

    this->copy(TestImages::color16(65535, 0, 0, 32768), "application/x-color");
    EXPECT_EQ(this->nextCapture().payload, CapturedClip::Payload(CapturedClip::Color{"#FF000080"}));

    // Not UTF-8, or with a NUL inside: no text (a bridge offers an image's bytes so).
    this->copy("caf\xE9 \xFF roto", text);
    this->expectNoCapture();
    this->copy(QByteArray("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), text);
    this->expectNoCapture();

    this->copy(QByteArray(150'000, 'x'), text);
    EXPECT_EQ(std::get<CapturedClip::Text>(this->nextCapture().payload).text.size(), 100'000);
}

TYPED_TEST_P(ClipboardSuite, FilesAndLinesCopiedInRealApplicationsAreCapturedWhole) {
    const QString folder = QStringLiteral("/tmp/cap/folder/");
    const CapturedClip::Payload twoFiles =
        CapturedClip::Files{{folder + "b.txt", folder + "informe final.pdf"}};
    for (const char* manager : {"pcmanfm", "thunar", "caja", "nautilus"}) {
        this->recordedCopy(QStringLiteral("%1-two-files").arg(manager));
        EXPECT_EQ(this->nextCapture().payload, twoFiles) << manager;
    }
    this->recordedCopy("pcmanfm-one-file");
    EXPECT_EQ(this->nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Files{{folder + "informe final.pdf"}}));

    // GTK writes text/plain;charset=utf-8 with CR LF; the same lines from a tool are the same clip.
    const CapturedClip::Payload lines =
        CapturedClip::Text{"uno\ndos\ntres\ncuatro\ncinco\nseis\nsiete", {}};
    for (const char* editor : {"mousepad", "gedit"}) {
        this->recordedCopy(QStringLiteral("%1-seven-lines").arg(editor));
        EXPECT_EQ(this->nextCapture().payload, lines) << editor;
    }
    this->copy("uno\ndos\ntres\ncuatro\ncinco\nseis\nsiete", TypeParam::text);
    EXPECT_EQ(this->nextCapture().payload, lines);
}

TYPED_TEST_P(ClipboardSuite, AnOwnerOfFiftyThousandTypesHoldsNoLaterCopyBack) {
    if (TypeParam::dropsUsForFiftyThousandTypes) {
        GTEST_SKIP() << TypeParam::dropsUsForFiftyThousandTypes;
    }
    this->recordedCopy("mousepad-seven-lines", 50'000);
    // Copies at a person's pace, from the moment that owner's copy was made; the tool quits once
    // replaced, so a copy not read by the next one is lost.
    QStringList copied;
    for (int i = 1; i <= 5; ++i) {
        copied.append(QStringLiteral("copia rápida %1").arg(i));
        this->copy(copied.last().toUtf8(), TypeParam::text);
        QTest::qWait(2000);
    }
    const auto quickOnes = [&] { return this->capturedTexts().filter(u"copia rápida"); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return quickOnes() == copied; }, 15000))
        << quickOnes().join(u", ").toStdString();
}

TYPED_TEST_P(ClipboardSuite, AnImageTooBigForTheHistoryArrivesCutAndNothingTakesItsPlace) {
    const qsizetype cap = SelectionReadLimits{}.imageBytes;
    const QByteArray huge = TestImages::png(40, 30, Qt::magenta) + QByteArray(50'000'000, 'z');
    this->copy(huge, "image/png");
    const auto png = std::get<CapturedClip::Image>(this->nextCapture().payload).png;
    // One byte past what the history keeps: it refuses the image.
    EXPECT_EQ(png.size(), cap);
    EXPECT_GT(png.size(), maximumImageBytes);
    EXPECT_TRUE(huge.startsWith(png));

    const QString hugePng = this->writeFile("huge.png", huge);
    this->ownerCopy({"image/png=@" + hugePng, "text/plain=el texto de al lado"});
    EXPECT_EQ(std::get<CapturedClip::Image>(this->nextCapture().payload).png.size(), cap);

    // Cut short, a TIFF cannot be decoded, nor what is no image at all; the text beside either must
    // not be kept in its place.
    const QByteArray tiff = QByteArray("II*\0", 4) + QByteArray(25'000'000, 'z');
    this->ownerCopy(
        {"image/tiff=@" + this->writeFile("huge.tiff", tiff), "text/plain=el texto de al lado"});
    this->expectNoCapture();
    const QByteArray bytes(50'000'000, 'z');
    this->ownerCopy(
        {"image/png=@" + this->writeFile("huge.bin", bytes), "text/plain=el texto de al lado"});
    this->expectNoCapture();
    const auto reader = this->pasteboard().reader();
    EXPECT_EQ(reader->data("image/png").size(), cap);
    EXPECT_TRUE(reader->complete());
}

// Text is kept to 100 000 characters and its HTML to 200 000: the transfer is read no further than
// those can need (sixteen bytes a character).
TYPED_TEST_P(ClipboardSuite, LargeTextsAreReadOnlyAsFarAsTheyAreKept) {
    const QByteArray text = QByteArray("€").repeated(10'000'000);
    this->copy(text, TypeParam::text);
    EXPECT_EQ(std::get<CapturedClip::Text>(this->nextCapture().payload).text,
              QString(100'000, QChar(0x20AC)));
    const auto reader = this->pasteboard().reader();
    const QByteArray read = reader->data("text/plain");
    EXPECT_TRUE(reader->complete());
    EXPECT_EQ(read.size(), SelectionReadLimits{}.textBytes);
    EXPECT_TRUE(text.startsWith(read));

    const QByteArray html = "<p>" + QByteArray("ü").repeated(15'000'000);
    this->ownerCopy({"text/plain=corto", "text/html=@" + this->writeFile("large.html", html)});
    EXPECT_EQ(std::get<CapturedClip::Text>(this->nextCapture().payload).html->size(), 200'000);
    EXPECT_EQ(this->pasteboard().reader()->data("text/html").size(),
              SelectionReadLimits{}.htmlBytes);
}

TYPED_TEST_P(ClipboardSuite, PasswordManagersAndBlankTextAreNotCaptured) {
    this->ownerCopy({"text/plain=hunter2", "x-kde-passwordManagerHint=secret"});
    this->expectNoCapture();
    this->ownerCopy({"text/plain=hunter3", "x-kde-passwordManagerHint=1"});
    this->expectNoCapture();
    this->copy("secret", "x-kde-passwordManagerHint");
    this->expectNoCapture();
    this->copy(" \n\t ", TypeParam::text);
    this->expectNoCapture();
    this->copy("https://example.org/\r\n", "text/uri-list");
    this->expectNoCapture();  // web addresses without a plain text are nothing to keep
    this->copy("después", TypeParam::text);
    EXPECT_EQ(this->nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Text{"después", {}}));
}

TYPED_TEST_P(ClipboardSuite, ClipsGoBackInEveryFormatAndTheirEchoIsNotCaptured) {
    const auto roundTrip = [&](const Clip& clip) {
        this->writeBack(clip);
        const PasteboardContents contents = ClipboardWriter::contents(clip);
        QStringList types = contents.keys() + TypeParam::added(contents.keys());
        QStringList offered = this->offered();
        types.sort();
        offered.sort();
        EXPECT_EQ(offered.join(u' ').toStdString(), types.join(u' ').toStdString());
        for (auto it = contents.begin(); it != contents.end(); ++it) {
            EXPECT_EQ(this->paste(it.key()), it.value()) << it.key().toStdString();
        }
        this->expectNoCapture();
    };

    this->ownerCopy({"text/plain=con formato", "text/html=<i>con formato</i>"});
    const auto text = std::get<CapturedClip::Text>(this->nextCapture().payload);
    roundTrip(Clip{1, ClipKind::text, text.text, text.html, {}, {}, {}, false});
    EXPECT_EQ(this->paste("text/html"), "<i>con formato</i>");
    EXPECT_EQ(this->paste("UTF8_STRING"), "con formato");

    const QByteArray png = TestImages::png(64, 48, Qt::darkCyan);
    const QString imagePath = this->writeFile("IMAGEN.png", png);
    roundTrip(Clip{2, ClipKind::image, "image:x:64x48:1", {}, imagePath, {}, {}, false});
    EXPECT_EQ(this->paste("image/png"), png);

    roundTrip(Clip{3, ClipKind::color, "#FF000080", {}, {}, {}, {}, false});
    // Written from the hex text: alpha 0x80 is 0x8080 in sixteen bits.
    EXPECT_EQ(this->paste("application/x-color"), TestImages::color16(65535, 0, 0, 0x8080));
    EXPECT_EQ(this->paste("UTF8_STRING"), "#FF000080");

    const QString a = this->writeFile("uno.txt", "1");
    const QString b = this->writeFile("dos y tres.txt", "23");
    const QByteArray urlA = QUrl::fromLocalFile(a).toEncoded();
    const QByteArray urlB = QUrl::fromLocalFile(b).toEncoded();
    this->copy(urlA + "\r\n" + urlB, "text/uri-list");
    const auto files = std::get<CapturedClip::Files>(this->nextCapture().payload);
    EXPECT_EQ(files.paths, (QStringList{a, b}));
    roundTrip(Clip{4, ClipKind::files, files.paths.join(u'\n'), {}, {}, {}, {}, false});
    EXPECT_EQ(this->paste("text/uri-list"), urlA + "\r\n" + urlB + "\r\n");
    EXPECT_EQ(this->paste("x-special/gnome-copied-files"), "copy\n" + urlA + "\n" + urlB);

    // The next change of another application counts once more, no more.
    this->captured.clear();
    this->mark = 0;
    this->copy("siguiente", TypeParam::text);
    EXPECT_EQ(this->nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Text{"siguiente", {}}));
    EXPECT_EQ(this->captured.size(), 1);
}

TYPED_TEST_P(ClipboardSuite, AnotherCopyTakesOurSelectionOverAndWritingStillWorks) {
    this->writeBack(Clip{1, ClipKind::text, "nuestro", {}, {}, {}, {}, false});
    this->copy("de otra aplicación", TypeParam::text);
    EXPECT_EQ(this->nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Text{"de otra aplicación", {}}));
    EXPECT_FALSE(this->pasteboard().reader()->ours());
    EXPECT_EQ(this->paste("text/plain"), "de otra aplicación");

    this->writeBack(Clip{2, ClipKind::text, "nuestro otra vez", {}, {}, {}, {}, false});
    EXPECT_EQ(this->paste("text/plain"), "nuestro otra vez");
    this->expectNoCapture();
    EXPECT_EQ(this->captured.size(), 1);
}

TYPED_TEST_P(ClipboardSuite, AnOwnerThatNeverAnswersHoldsNeitherTheMainThreadNorLaterCopies) {
    this->copy("antes del cuelgue", TypeParam::text);
    this->nextCapture();

    // Long enough that the read is still waiting while we look.
    this->pasteboard().readLimits.answerTimeout = 5min;
    this->pasteboard().readLimits.readTimeout = 5min;
    this->startOwner(TypeParam::hung());
    ASSERT_TRUE(QTest::qWaitFor([&] { return this->monitor->isReading(); }, 10000));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ticks >= 10; }, 10000));
    EXPECT_TRUE(this->monitor->isReading())
        << "the owner has not answered, yet the main thread runs";

    // A later copy ends the wait for contents that are gone.
    this->copy("después del cuelgue", TypeParam::text);
    EXPECT_EQ(this->nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Text{"después del cuelgue", {}}));
    EXPECT_EQ(this->capturedTexts(), (QStringList{"antes del cuelgue", "después del cuelgue"}));
}

TYPED_TEST_P(ClipboardSuite, AReadOfAnOwnerThatNeverAnswersEndsWithNothing) {
    this->startOwner(TypeParam::hung());
    const auto reader = this->pasteboard().reader();
    EXPECT_EQ(reader->formats().isEmpty(), !TypeParam::typesComeWithTheOffer);
    EXPECT_TRUE(reader->data("text/plain").isEmpty());
    EXPECT_FALSE(reader->complete());
}

// Each copy is read as its notice arrives, not on a tick, so that copies 0.1 s apart (each tool
// quitting when the next takes over) are all kept.
TYPED_TEST_P(ClipboardSuite, CopiesInQuickSuccessionAreEachCaptured) {
    for (const char* text : {"rápido uno", "rápido dos", "rápido tres"}) {
        this->copyNoWait(text, TypeParam::text);
        QTest::qWait(100);
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return this->captured.size() >= 3; }, 15000));
    EXPECT_EQ(this->capturedTexts(), (QStringList{"rápido uno", "rápido dos", "rápido tres"}));
}

TYPED_TEST_P(ClipboardSuite, TheLastClipStaysOnTheClipboardWhenItsOwnerQuits) {
    ClipboardKeeper keeper(this->pasteboard(), *this->monitor);
    QObject::connect(this->monitor.get(), &ClipboardMonitor::captured, &keeper,
                     &ClipboardKeeper::recorded);
    int restores = 0;
    QObject::connect(&keeper, &ClipboardKeeper::restored, [&] { ++restores; });

    // In the foreground, so that it can be killed.
    const qint64 before = this->pasteboard().changeCount();
    auto* owner = new QProcess;
    this->owners.append(owner);
    const QStringList serve = TypeParam::serve(TypeParam::text);
    owner->start(serve.first(), serve.mid(1));
    owner->write("sigue aquí");
    owner->closeWriteChannel();
    this->waitForChange(before);
    EXPECT_EQ(this->nextCapture().payload,
              CapturedClip::Payload(CapturedClip::Text{"sigue aquí", {}}));
    owner->kill();
    EXPECT_TRUE(QTest::qWaitFor([&] { return restores == 1; }, 15000));
    EXPECT_EQ(this->paste(TypeParam::text), "sigue aquí");
    this->expectNoCapture();

    // A password manager's copy is not kept: nothing comes back, not even the clip before it.
    this->ownerCopy({"text/plain=hunter2", "x-kde-passwordManagerHint=secret"});
    this->expectNoCapture();
    const qint64 beforeQuit = this->pasteboard().changeCount();
    this->owners.last()->kill();
    this->owners.last()->waitForFinished();
    this->waitForChange(beforeQuit);
    this->expectNoCapture();
    EXPECT_EQ(restores, 1);
    EXPECT_EQ(this->paste(TypeParam::text, true), "");
}

REGISTER_TYPED_TEST_SUITE_P(ClipboardSuite, WhatOtherApplicationsCopyIsCaptured,
                            FilesAndLinesCopiedInRealApplicationsAreCapturedWhole,
                            AnOwnerOfFiftyThousandTypesHoldsNoLaterCopyBack,
                            AnImageTooBigForTheHistoryArrivesCutAndNothingTakesItsPlace,
                            LargeTextsAreReadOnlyAsFarAsTheyAreKept,
                            PasswordManagersAndBlankTextAreNotCaptured,
                            ClipsGoBackInEveryFormatAndTheirEchoIsNotCaptured,
                            AnotherCopyTakesOurSelectionOverAndWritingStillWorks,
                            AnOwnerThatNeverAnswersHoldsNeitherTheMainThreadNorLaterCopies,
                            AReadOfAnOwnerThatNeverAnswersEndsWithNothing,
                            CopiesInQuickSuccessionAreEachCaptured,
                            TheLastClipStaysOnTheClipboardWhenItsOwnerQuits);

}  // namespace orv
