#include "clipboard/ClipboardReader.h"
#include "clipboard/ClipboardWriter.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryPasteboard.h"
#include "store/Error.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace orv;

namespace {

class WriterTest : public ::testing::Test {
protected:
    void SetUp() override { pasteboard.copy({{"text/plain", "anterior"}}); }

    Clip clipOf(ClipKind kind, const QString& value) {
        Clip clip;
        clip.id = 1;
        clip.kind = kind;
        clip.value = value;
        return clip;
    }
    QString touch(const QString& name) {
        QFile file(temp.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        return file.fileName();
    }
    // Fails the test unless writing raises Error; its message.
    QString failure(const Clip& clip) {
        try {
            ClipboardWriter::write(clip, pasteboard);
        } catch (const Error& error) {
            EXPECT_EQ(pasteboard.contents(), (PasteboardContents{{"text/plain", "anterior"}}))
                << "the clipboard keeps what it had";
            EXPECT_EQ(pasteboard.writes, 0);
            return error.message();
        }
        ADD_FAILURE() << "no Error";
        return {};
    }

    QTemporaryDir temp;
    InMemoryPasteboard pasteboard;
};

}  // namespace

TEST_F(WriterTest, TextGoesOutPlainWithItsHtml) {
    Clip rich = clipOf(ClipKind::text, "hola");
    rich.html = QStringLiteral("<b>hola</b>");
    ClipboardWriter::write(rich, pasteboard);
    EXPECT_EQ(pasteboard.contents(), (PasteboardContents{{"text/plain", "hola"},
                                                         {"text/plain;charset=utf-8", "hola"},
                                                         {"text/html", "<b>hola</b>"}}));
    EXPECT_EQ(pasteboard.changeCount(), 2) << "one change per write";

    ClipboardWriter::write(clipOf(ClipKind::text, "#GG0000"), pasteboard);
    EXPECT_EQ(pasteboard.formats(), (QStringList{"text/plain", "text/plain;charset=utf-8"}));
}

TEST_F(WriterTest, ColoursGoOutAsColourAndHexTextAndReadBackTheSame) {
    FakeWorkspace workspace;
    for (const QString hex : {"#FF0000", "#FF000080", "#12345678", "#ABC"}) {
        ClipboardWriter::write(clipOf(ClipKind::text, hex), pasteboard);
        EXPECT_EQ(pasteboard.data("text/plain"), hex.toUtf8());
        EXPECT_EQ(pasteboard.data("application/x-color").size(), 8);
        const auto back = ClipboardReader::read(pasteboard, workspace);
        ASSERT_TRUE(back);
        const QString expected = hex == "#ABC" ? "#AABBCC" : hex;
        EXPECT_EQ(std::get<CapturedClip::Color>(back->payload).hex, expected);
    }
    pasteboard.copy({{"text/plain", "anterior"}});
    pasteboard.writes = 0;
    EXPECT_EQ(failure(clipOf(ClipKind::color, "#12345")), "El color no es válido.");
}

TEST_F(WriterTest, ImagesNeedTheirFile) {
    const QByteArray png = TestImages::png(4, 4);
    Clip image = clipOf(ClipKind::image, "image:x:4x4:1");
    image.imagePath = temp.filePath("A.png");
    {
        QFile file(*image.imagePath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(png);
    }
    ClipboardWriter::write(image, pasteboard);
    EXPECT_EQ(pasteboard.contents(), (PasteboardContents{{"image/png", png}}));

    pasteboard.copy({{"text/plain", "anterior"}});
    pasteboard.writes = 0;
    QFile::remove(*image.imagePath);
    EXPECT_EQ(failure(image), "La imagen original ya no está disponible.");
    image.imagePath.reset();
    EXPECT_EQ(failure(image), "La imagen original ya no está disponible.");
    image.imagePath = temp.path();  // a folder is no image file
    EXPECT_EQ(failure(image), "La imagen original ya no está disponible.");
}

TEST_F(WriterTest, FilesGoOutForBothFileManagersOrNamesWhatIsMissing) {
    const QString a = touch("a.txt");
    const QString b = touch("b c.txt");
    QDir(temp.path()).mkdir("carpeta");
    const QString folder = temp.filePath("carpeta");

    ClipboardWriter::write(clipOf(ClipKind::files, b + "\n" + a + "\n" + folder), pasteboard);
    const QByteArray uris = "file://" + QUrl::toPercentEncoding(b, "/") + "\r\nfile://" +
                            QUrl::toPercentEncoding(a, "/") + "\r\nfile://" +
                            QUrl::toPercentEncoding(folder, "/") + "\r\n";
    EXPECT_EQ(pasteboard.data("text/uri-list"), uris);
    EXPECT_EQ(pasteboard.data("x-special/gnome-copied-files"),
              "copy\n" + QByteArray(uris).replace("\r\n", "\n").chopped(1));

    pasteboard.copy({{"text/plain", "anterior"}});
    pasteboard.writes = 0;
    const QString gone1 = temp.filePath("x/perdido.txt");
    const QString gone2 = temp.filePath("otro.pdf");
    EXPECT_EQ(failure(clipOf(ClipKind::files, a + "\n" + gone1 + "\n" + b)),
              "No se encuentra: perdido.txt");
    EXPECT_EQ(failure(clipOf(ClipKind::files, gone1 + "\n" + a + "\n" + gone2)),
              "No se encuentran: perdido.txt, otro.pdf");

    ClipboardWriter::write(clipOf(ClipKind::files, ""), pasteboard);
    EXPECT_TRUE(pasteboard.formats().isEmpty()) << "no paths leaves the clipboard cleared";
}

// What the keeper puts back: a capture goes out as its stored clip would, read back the same.
TEST_F(WriterTest, CapturesGoOutAsTheirClipsWouldAndReadBackTheSame) {
    FakeWorkspace workspace;
    const QString gone = temp.filePath("ya no está.txt");
    const QList<CapturedClip::Payload> payloads{
        CapturedClip::Text{"hola", QStringLiteral("<i>hola</i>")},
        CapturedClip::Text{"sin formato", std::nullopt},
        CapturedClip::Image{TestImages::png(5, 3, Qt::blue)},
        CapturedClip::Color{"#FF000080"},
        CapturedClip::Files{{touch("a.txt"), gone}},
    };
    for (const CapturedClip::Payload& payload : payloads) {
        ClipboardWriter::write(CapturedClip{payload, QStringLiteral("Editor")}, pasteboard);
        const auto back = ClipboardReader::read(pasteboard, workspace);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->payload, payload);
    }
    EXPECT_EQ(pasteboard.writes, payloads.size());

    Clip stored = clipOf(ClipKind::text, "hola");
    stored.html = QStringLiteral("<i>hola</i>");
    EXPECT_EQ(ClipboardWriter::contents(CapturedClip{payloads.first(), std::nullopt}),
              ClipboardWriter::contents(stored));
}
