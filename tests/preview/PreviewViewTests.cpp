#include "preview/FilePreview.h"
#include "preview/PreviewView.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QThreadPool>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace orv;

namespace {

Clip clipOf(ClipKind kind, const QString& value) {
    Clip clip;
    clip.kind = kind;
    clip.value = value;
    return clip;
}

const ElidedLabel* label(const PreviewView& view, const char* name) {
    return view.findChild<ElidedLabel*>(QString::fromLatin1(name));
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A PNG file (a named pipe) of which only the first part can be read until release(), so a decode
// of it cannot end before then. That part is large enough for Qt to pick a reader for the file:
// it does so under one lock for the whole process, and would stall every other decode. The whole
// file fits in the pipe's buffer, so writing it never waits for the reader.
class HeldBackFile {
public:
    static constexpr qsizetype headBytes = 20 * 1024;

    HeldBackFile(const QString& path, const QByteArray& png) : m_path(QFile::encodeName(path)) {
        EXPECT_EQ(mkfifo(m_path.constData(), 0600), 0);
        const QByteArray padded = TestImages::withText(png, QByteArray(headBytes, 'x'));
        m_writer = std::thread([this, head = padded.left(headBytes), rest = padded.mid(headBytes)] {
            // Opening waits for a reader.
            const int fd = ::open(m_path.constData(), O_WRONLY);
            if (fd < 0) {
                return;
            }
            bool written = ::write(fd, head.constData(), size_t(head.size())) == head.size();
            std::unique_lock lock(m_mutex);
            // A reader stuck on the main thread gets a cut-off file after a while, not never.
            if (m_released.wait_for(lock, std::chrono::seconds(20), [this] { return m_release; })) {
                written =
                    written && ::write(fd, rest.constData(), size_t(rest.size())) == rest.size();
            }
            EXPECT_TRUE(written);
            ::close(fd);
        });
    }
    ~HeldBackFile() {
        release();
        // A decode that never started leaves the writer waiting for a reader: be that reader.
        const int reader = ::open(m_path.constData(), O_RDONLY | O_NONBLOCK);
        m_writer.join();
        if (reader >= 0) {
            ::close(reader);
        }
    }
    void release() {
        const std::lock_guard lock(m_mutex);
        m_release = true;
        m_released.notify_one();
    }

private:
    QByteArray m_path;
    bool m_release = false;
    std::mutex m_mutex;
    std::condition_variable m_released;
    std::thread m_writer;
};

}  // namespace

TEST(PreviewView, TitleFollowsTheStoredKind) {
    PreviewView view;
    const auto titleOf = [&](const Clip& clip) {
        view.setClip(clip);
        return view.title();
    };
    EXPECT_EQ(titleOf(clipOf(ClipKind::text, "hola mundo")), "Texto");
    EXPECT_EQ(titleOf(clipOf(ClipKind::text, "#FF0000")), "Color");
    EXPECT_EQ(titleOf(clipOf(ClipKind::color, "#00FF00")), "Color");
    EXPECT_EQ(titleOf(clipOf(ClipKind::color, "no es un color")), "Color");
    EXPECT_EQ(titleOf(clipOf(ClipKind::image, "image:abc:640x480:12")), "Imagen · 640×480");
    EXPECT_EQ(titleOf(clipOf(ClipKind::image, "image:abc:0x0:12")), "Imagen");
    EXPECT_EQ(titleOf(clipOf(ClipKind::files, "/x/informe.pdf")), "informe.pdf");
    EXPECT_EQ(titleOf(clipOf(ClipKind::files, "/x/fotos/")), "fotos");
    EXPECT_EQ(titleOf(clipOf(ClipKind::files, "/x/a.txt\n/x/b.txt\n/x/c.txt")), "3 archivos");
    const auto* files = view.findChild<FilePreview*>();
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->paths(), (QStringList{"/x/a.txt", "/x/b.txt", "/x/c.txt"}));
    EXPECT_EQ(titleOf(clipOf(ClipKind::files, "")), "Archivos");
}

TEST(PreviewView, ALongFileListIsHeadedByItsCountAndFillsTheBodyWithItsFirstRows) {
    QString value = "/x/a.txt";
    for (int i = 1; i < 20000; ++i) {
        value += QStringLiteral("\n/x/foto-%1.jpg").arg(i);
    }
    PreviewView view;
    view.setClip(clipOf(ClipKind::files, value));
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    EXPECT_EQ(view.title(), QStringLiteral("20\u00A0000 archivos"));
    const auto* files = view.findChild<FilePreview*>();
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->count(), 20000);
    EXPECT_EQ(files->paths().size(), FilePreview::maxRows);
    EXPECT_EQ(files->paths().first(), "/x/a.txt");
    // Enough rows to fill the body: the list still scrolls.
    const auto* list = files->findChild<QScrollArea*>("fileList");
    ASSERT_NE(list, nullptr);
    EXPECT_GT(list->verticalScrollBar()->maximum(), 0);
}

TEST(PreviewView, HeadingIsCutAtTwoLines) {
    PreviewView view;
    view.setClip(clipOf(ClipKind::files, "/x/" + QString("informe trimestral ").repeated(20)));
    const ElidedLabel* title = label(view, "title");
    ASSERT_NE(title, nullptr);
    const int width = PreviewView::fixedSize.width() - 2 * 14;
    const QStringList lines = title->lines(width);
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.last().endsWith(QChar(0x2026)));
    EXPECT_LT(title->heightForWidth(width), 3 * title->fontMetrics().lineSpacing());

    view.setClip(clipOf(ClipKind::text, "corto"));
    EXPECT_EQ(title->lines(width), QStringList{"Texto"});
}

TEST(PreviewView, ColourShowsASwatchAndTheCode) {
    PreviewView view;
    view.setClip(clipOf(ClipKind::text, "#FF0000"));
    auto* swatch = view.findChild<ColorSwatch*>();
    ASSERT_NE(swatch, nullptr);
    EXPECT_EQ(swatch->color(), QColor(255, 0, 0));
    EXPECT_EQ(swatch->size(), QSize(148, 148));
    EXPECT_EQ(swatch->grab().toImage().pixelColor(74, 74), QColor(255, 0, 0));
    const auto* code = view.findChild<QLabel*>("colorValue");
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->text(), "#FF0000");
    EXPECT_EQ(view.findChild<QPlainTextEdit*>(), nullptr);

    view.setClip(clipOf(ClipKind::color, "#12345678"));
    swatch = view.findChild<ColorSwatch*>();
    ASSERT_NE(swatch, nullptr);
    EXPECT_EQ(swatch->color().red(), 0x12);
    EXPECT_EQ(swatch->color().green(), 0x34);
    EXPECT_EQ(swatch->color().blue(), 0x56);
    EXPECT_EQ(swatch->color().alpha(), 0x78);

    view.setClip(clipOf(ClipKind::color, "rojo"));
    swatch = view.findChild<ColorSwatch*>();
    ASSERT_NE(swatch, nullptr);
    EXPECT_EQ(swatch->color().alpha(), 255);
    EXPECT_LT(swatch->color().hsvSaturation(), 20);
}

TEST(PreviewView, TextIsShownWholeAndScrollsUnderAFixedHeading) {
    QStringList lines;
    for (int i = 0; i < 20000; ++i) {
        lines.append(QStringLiteral("línea %1").arg(i));
    }
    Clip clip = clipOf(ClipKind::text, lines.join(u'\n'));
    clip.source = "Terminal";
    PreviewView view;
    view.setClip(clip);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    auto* text = view.findChild<QPlainTextEdit*>();
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->toPlainText(), clip.value);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_TRUE(text->textInteractionFlags().testFlag(Qt::TextSelectableByMouse));
    EXPECT_GT(text->verticalScrollBar()->maximum(), 0);

    const ElidedLabel* title = label(view, "title");
    const ElidedLabel* source = label(view, "source");
    ASSERT_TRUE(title && source);
    EXPECT_EQ(title->y(), 14);
    EXPECT_TRUE(source->isVisible());
    EXPECT_EQ(source->geometry().bottom() + 1, 320 - 14);
    EXPECT_LE(text->geometry().bottom(), source->y());

    // Showing the same clip again keeps the reader's place.
    text->verticalScrollBar()->setValue(500);
    view.setClip(clip);
    EXPECT_EQ(view.findChild<QPlainTextEdit*>(), text);
    EXPECT_EQ(text->verticalScrollBar()->value(), 500);
}

TEST(PreviewView, SourceLineOnlyWhenKnownAndOnOneLine) {
    PreviewView view;
    const ElidedLabel* source = label(view, "source");
    ASSERT_NE(source, nullptr);
    Clip clip = clipOf(ClipKind::text, "hola");

    view.setClip(clip);
    EXPECT_TRUE(source->isHidden());
    clip.source = "";
    view.setClip(clip);
    EXPECT_TRUE(source->isHidden());

    clip.source = QString("Editor de textos muy largo ").repeated(10);
    view.setClip(clip);
    EXPECT_FALSE(source->isHidden());
    const QStringList lines = source->lines(332);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines.first().endsWith(QChar(0x2026)));
}

TEST(PreviewView, ImageFitsOrSaysItIsGone) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("wide.png");
    writeFile(path, TestImages::png(40, 20, Qt::blue));
    Clip clip = clipOf(ClipKind::image, "image:abc:40x20:99");
    clip.imagePath = path;
    PreviewView view;
    view.setClip(clip);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    auto* image = view.findChild<FittedImage*>();
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !image->pixmap().isNull(); }, 10000));
    EXPECT_EQ(image->pixmap().size(), QSize(40, 20));
    // Scaled up to the full width with its 2:1 shape kept: blue across the middle, background
    // above and below.
    const QImage shown = image->grab().toImage();
    ASSERT_GT(shown.height(), shown.width() / 2 + 4);
    EXPECT_EQ(shown.pixelColor(shown.width() / 2, shown.height() / 2), QColor(Qt::blue));
    EXPECT_EQ(shown.pixelColor(2, shown.height() / 2), QColor(Qt::blue));
    EXPECT_NE(shown.pixelColor(shown.width() / 2, 1), QColor(Qt::blue));
    EXPECT_NE(shown.pixelColor(shown.width() / 2, shown.height() - 2), QColor(Qt::blue));

    ASSERT_TRUE(QFile::remove(path));
    clip.id = 2;
    view.setClip(clip);
    EXPECT_EQ(view.title(), "Imagen · 40×20");
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.findChild<QLabel*>("missingImage"); }, 10000));
    EXPECT_EQ(view.findChild<FittedImage*>(), nullptr);
    EXPECT_EQ(view.findChild<QLabel*>("missingImage")->text(), "La imagen ya no está disponible.");

    clip.imagePath.reset();
    clip.id = 3;
    view.setClip(clip);
    EXPECT_NE(view.findChild<QLabel*>("missingImage"), nullptr);
}

TEST(PreviewView, ALargeImageIsDecodedAwayFromTheMainThreadAtThePanelsSize) {
    QTemporaryDir dir;
    const QString path = dir.filePath("large.png");
    writeFile(path, TestImages::png(1600, 800, Qt::blue));
    Clip clip = clipOf(ClipKind::image, "image:large:1600x800:1");
    clip.imagePath = path;
    PreviewView view;
    view.setClip(clip);
    // setClip came back before the decode: the heading is there, the picture is not.
    EXPECT_EQ(view.title(), "Imagen · 1600×800");
    auto* image = view.findChild<FittedImage*>("image");
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->pixmap().isNull());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !image->pixmap().isNull(); }, 10000));
    // No more pixels than the panel's body can show (332 points wide, device pixel ratio 1).
    EXPECT_EQ(image->pixmap().size(), QSize(332, 166));
}

TEST(PreviewView, TheThumbnailStandsInAndALateDecodeNeverLandsOnAnotherClip) {
    // One decode stays blocked on its file while others run.
    QThreadPool& pool = *QThreadPool::globalInstance();
    pool.setMaxThreadCount(std::max(4, pool.maxThreadCount()));
    QTemporaryDir dir;
    Clip held = clipOf(ClipKind::image, "image:held:40x20:1");
    held.id = 1;
    held.imagePath = dir.filePath("held.png");
    HeldBackFile heldFile(*held.imagePath, TestImages::png(40, 20, Qt::green));
    writeFile(dir.filePath("held.thumb.png"), TestImages::png(36, 18, Qt::red));
    Clip other = clipOf(ClipKind::image, "image:other:40x20:2");
    other.id = 2;
    other.imagePath = dir.filePath("other.png");
    writeFile(*other.imagePath, TestImages::png(40, 20, Qt::blue));
    const auto colourShown = [](const FittedImage* image) {
        return image->pixmap().isNull() ? QColor() : image->pixmap().toImage().pixelColor(5, 5);
    };

    PreviewView view;
    view.setClip(held);
    auto* image = view.findChild<FittedImage*>("image");
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return colourShown(image) == Qt::red; }, 10000));

    view.setClip(other);
    image = view.findChild<FittedImage*>("image");
    ASSERT_NE(image, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return colourShown(image) == Qt::blue; }, 10000));
    heldFile.release();
    ASSERT_TRUE(pool.waitForDone(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.findChild<FittedImage*>("image"), image);
    EXPECT_EQ(colourShown(image), QColor(Qt::blue));

    // Cleared while its picture is on the way: nothing comes back.
    held.id = 3;
    held.imagePath = dir.filePath("cleared.png");
    HeldBackFile clearedFile(*held.imagePath, TestImages::png(40, 20, Qt::green));
    view.setClip(held);
    view.clear();
    clearedFile.release();
    ASSERT_TRUE(pool.waitForDone(10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(view.findChild<FittedImage*>(), nullptr);
    EXPECT_EQ(view.findChild<QLabel*>("missingImage"), nullptr);
    EXPECT_TRUE(view.title().isEmpty());
}
