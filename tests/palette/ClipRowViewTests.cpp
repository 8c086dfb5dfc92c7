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
