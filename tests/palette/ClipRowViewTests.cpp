#include "palette/ClipListModel.h"
#include "palette/ClipListView.h"
#include "palette/ClipRowView.h"
#include "palette/PaletteView.h"
#include "store/ImageThumbnail.h"
#include "support/ModelFixture.h"
#include "support/TestImages.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

namespace {

Clip clipOf(ClipKind kind, const QString& value, bool pinned = false) {
    Clip clip;
    clip.id = 7;
    clip.kind = kind;
    clip.value = value;
    clip.pinned = pinned;
    return clip;
}

// The row painted on a white 400 × 44 image.
QImage render(const ClipRowView::Row& row, ThumbnailCache& cache) {
    QImage image(400, 44, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    ClipRowView::paintRow(&painter, image.rect(), row, QApplication::palette(), cache);
    return image;
}

}  // namespace

TEST(ClipRowView, AccessibilityAndContextMenuFollowTheClip) {
    Clip clip = clipOf(ClipKind::text, "hola");
    EXPECT_EQ(ClipRowView::accessibilityTitle(clip), "hola");
    clip.source = QString();
    EXPECT_EQ(ClipRowView::accessibilityTitle(clip), "hola");
    clip.source = QStringLiteral("Firefox");
    EXPECT_EQ(ClipRowView::accessibilityTitle(clip), "hola, Firefox");
    EXPECT_EQ(ClipRowView::accessibilityHint(clip), "Clip del historial");
    EXPECT_EQ(ClipRowView::contextMenuTitles(clip),
              (QStringList{"Copiar y pegar", "Fijar", "Eliminar"}));
    clip.pinned = true;
    EXPECT_EQ(ClipRowView::accessibilityHint(clip), "Clip fijado");
    EXPECT_EQ(ClipRowView::contextMenuTitles(clip)[1], "Desfijar");
}

TEST(ClipRowView, ColourClipsGetASwatchThatGrowsUnderTheColourFilter) {
    ThumbnailCache cache;
    ClipRowView::Row row{clipOf(ClipKind::text, "#FF0000"), false, false, true, {}, false};
    EXPECT_EQ(ClipRowView::swatchColor(row.clip), QColor(Qt::red));
    EXPECT_EQ(ClipRowView::swatchColor(clipOf(ClipKind::color, "#XYZ")), QColor(Qt::gray));
    EXPECT_EQ(ClipRowView::swatchColor(clipOf(ClipKind::color, "#12345678")),
              QColor(0x12, 0x34, 0x56, 0x78));

    const QRect rowRect(0, 0, 400, 44);
    EXPECT_EQ(ClipRowView::leadingRect(rowRect, row).width(), 28);
    QImage small = render(row, cache);
    // The middle of the 22-point swatch is red; a text glyph would leave it white or grey.
    const QPoint middle = ClipRowView::leadingRect(rowRect, row).center();
    EXPECT_EQ(small.pixelColor(middle), QColor(Qt::red));
    EXPECT_NE(small.pixelColor(middle + QPoint(14, 0)), QColor(Qt::red)) << "22 wide, not 32";

    row.prominentColor = true;
    EXPECT_EQ(ClipRowView::leadingRect(rowRect, row).width(), 36);
    EXPECT_EQ(ClipRowView::titleFont(QApplication::font(), row).styleHint(), QFont::Monospace);
    QImage big = render(row, cache);
    EXPECT_EQ(big.pixelColor(ClipRowView::leadingRect(rowRect, row).center() + QPoint(14, 0)),
              QColor(Qt::red));

    // A plain text keeps the default face even under the colour filter.
    row.clip = clipOf(ClipKind::text, "rojo");
    EXPECT_NE(ClipRowView::titleFont(QApplication::font(), row).styleHint(), QFont::Monospace);
}

TEST(ClipRowView, PinnedRowsGetABarAndSemiboldOnlyOutsideThePinnedList) {
    ThumbnailCache cache;
    ClipRowView::Row row{clipOf(ClipKind::text, "fijo", true), false, false, true, {}, false};
    EXPECT_EQ(ClipRowView::titleFont(QApplication::font(), row).weight(), QFont::DemiBold);
    const QImage withBar = render(row, cache);
    EXPECT_NE(withBar.pixelColor(4, 22), QColor(Qt::white));

    row.showsPinMark = false;
    EXPECT_EQ(ClipRowView::titleFont(QApplication::font(), row).weight(), QFont::Normal);
    EXPECT_EQ(render(row, cache).pixelColor(4, 22), QColor(Qt::white));

    // The selection colour wins over hover.
    row.isSelected = true;
    row.isHovered = true;
    const QColor selected = render(row, cache).pixelColor(200, 3);
    row.isHovered = false;
    EXPECT_EQ(render(row, cache).pixelColor(200, 3), selected);
}

TEST(ClipRowView, ThumbnailsArriveLaterAreReadOnceAndMissingOnesShowThePlaceholder) {
    QTemporaryDir temp;
    const QString image = temp.filePath("ABC.png");
    {
        QFile file(ImageThumbnail::pathFor(image));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(TestImages::png(360, 240, Qt::blue));
    }
    EXPECT_EQ(ImageThumbnail::pathFor(image), temp.filePath("ABC.thumb.png"));
    EXPECT_EQ(ImageThumbnail::pathFor("/x/picture.jpg"), "/x/picture.jpg");

    ThumbnailCache cache;
    QSignalSpy landed(&cache, &ThumbnailCache::thumbnailLoaded);
    Clip clip = clipOf(ClipKind::image, "image:x:360x240:1");
    clip.imagePath = image;
    ClipRowView::Row row{clip, false, false, true, {}, false};
    const QPoint centre = ClipRowView::leadingRect(QRect(0, 0, 400, 44), row).center();
    // The paint does not wait for the file: the placeholder now, the picture once it is read.
    EXPECT_NE(render(row, cache).pixelColor(centre), QColor(Qt::blue));
    render(row, cache);
    ASSERT_TRUE(landed.wait(10000));
    EXPECT_EQ(render(row, cache).pixelColor(centre), QColor(Qt::blue));
    render(row, cache);
    EXPECT_EQ(cache.loads(), 1);
    // Kept at the size the rows need, not the file's.
    EXPECT_EQ(cache.thumbnail(row.clip).size(), QSize(99, 66));

    row.clip.imagePath = temp.filePath("gone.png");
    render(row, cache);
    ASSERT_TRUE(landed.wait(10000));
    const QImage placeholder = render(row, cache);
    EXPECT_EQ(cache.loads(), 2) << "a missing file is not looked for on every paint";
    EXPECT_FALSE(cache.isLoading());
    EXPECT_NE(placeholder.pixelColor(centre), QColor(Qt::blue));
    row.clip.imagePath.reset();
    EXPECT_TRUE(cache.thumbnail(row.clip).isNull());
}

using PaletteThumbnailTest = ModelTest;

TEST_F(PaletteThumbnailTest, TheListRepaintsWhenAThumbnailArrives) {
    await(recorder.record({CapturedClip::Image{TestImages::png(120, 80, Qt::blue)}, std::nullopt}));
    PaletteView view(model);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    open({});
    ASSERT_EQ(model.visibleClips().size(), 1);
    const QRect rowRect = view.list()->visualRect(view.rows()->index(0));
    const QPoint centre = ClipRowView::leadingRect(rowRect, view.rows()->row(0)).center();
    // What the window shows, not a fresh rendering: only a repaint brings the picture there.
    const auto shown = [&] {
        return view.screen()
            ->grabWindow(view.winId())
            .toImage()
            .pixelColor(view.list()->viewport()->mapTo(&view, centre));
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == QColor(Qt::blue); }, 10000));
}

namespace {

// Where a row drawn with a red accent shows red, by column: the search's marks.
QList<int> redColumns(const ClipRowView::Row& row, ThumbnailCache& cache, int top = 0,
                      int bottom = 44) {
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Highlight, Qt::red);
    QImage image(400, 44, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    ClipRowView::paintRow(&painter, image.rect(), row, palette, cache);
    painter.end();
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x) {
        for (int y = top; y < bottom; ++y) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.red() - std::max(pixel.green(), pixel.blue()) > 80) {
                columns.append(x);
                break;
            }
        }
    }
    return columns;
}

}  // namespace

TEST(ClipRowView, TheSearchIsMarkedInTheTitleInTheAccentColour) {
    ThumbnailCache cache;
    ClipRowView::Row row{
        clipOf(ClipKind::text, "Mi canción favorita"), false, false, true, {}, false};
    const QFontMetrics metrics(ClipRowView::titleFont(QApplication::font(), row));
    const int left = ClipRowView::leadingRect(QRect(0, 0, 400, 44), row).right() + 1 + 8;
    EXPECT_TRUE(redColumns(row, cache).isEmpty());

    // Folded the same way as the store's search, drawn over the original characters only.
    row.search = QStringLiteral(" CANCION ");
    const QList<int> marked = redColumns(row, cache);
    ASSERT_FALSE(marked.isEmpty());
    EXPECT_GE(marked.first(), left + metrics.horizontalAdvance("Mi ") - 1);
    EXPECT_LE(marked.last(), left + metrics.horizontalAdvance("Mi canción") + 1);
    EXPECT_GT(marked.last() - marked.first(), metrics.horizontalAdvance("canci"));

    row.search = QStringLiteral("canciones");
    EXPECT_TRUE(redColumns(row, cache).isEmpty());

    // On the elided second line too, whose blanks are collapsed: "una canción palabra…".
    row.clip.value = QStringLiteral("Un título\u2028una \n\n \t canción ") +
                     QStringLiteral("palabra ").repeated(12);
    row.search = QStringLiteral("cancion");
    EXPECT_TRUE(redColumns(row, cache, 0, 22).isEmpty());
    const QList<int> second = redColumns(row, cache, 22, 44);
    ASSERT_FALSE(second.isEmpty());
    EXPECT_NEAR(second.first(), left + metrics.horizontalAdvance("una "), 2);
    EXPECT_NEAR(second.last(), left + metrics.horizontalAdvance("una canción"), 2);

    // A match past the cut title, or in an image's own title, is not marked.
    row.clip.value = QStringLiteral("x ").repeated(400) + QStringLiteral("canción");
    EXPECT_TRUE(redColumns(row, cache).isEmpty());
    row.clip = clipOf(ClipKind::image, "image:imagen:10x10:1");
    row.search = QStringLiteral("imagen");
    EXPECT_TRUE(redColumns(row, cache).isEmpty());
}

using PaletteSearchTest = ModelTest;

TEST_F(PaletteSearchTest, TheRowsMarkWhatIsTypedInTheSearchField) {
    PaletteView view(model);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    open({"Mi canción favorita"});
    const QRect rowRect = view.list()->visualRect(view.rows()->index(0));
    const auto shown = [&view, rowRect] {
        view.list()->viewport()->repaint();
        return view.list()->viewport()->grab(rowRect).toImage();
    };
    const QImage plain = shown();
    await(model.setQuery(QStringLiteral("CANCION")));
    ASSERT_EQ(visible(), QStringList{"Mi canción favorita"});
    EXPECT_NE(shown(), plain);
    await(model.setQuery(QString()));
    EXPECT_EQ(shown(), plain);
}
