#include "preview/FilePreview.h"
#include "preview/PreviewView.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

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
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(TestImages::png(40, 20, Qt::blue));
    }
    Clip clip = clipOf(ClipKind::image, "image:abc:40x20:99");
    clip.imagePath = path;
    PreviewView view;
    view.setClip(clip);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));

    auto* image = view.findChild<FittedImage*>();
    ASSERT_NE(image, nullptr);
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
    EXPECT_EQ(view.findChild<FittedImage*>(), nullptr);
    const auto* missing = view.findChild<QLabel*>("missingImage");
    ASSERT_NE(missing, nullptr);
    EXPECT_EQ(missing->text(), "La imagen ya no está disponible.");
    EXPECT_EQ(view.title(), "Imagen · 40×20");

    clip.imagePath.reset();
    clip.id = 3;
    view.setClip(clip);
    EXPECT_NE(view.findChild<QLabel*>("missingImage"), nullptr);
}
