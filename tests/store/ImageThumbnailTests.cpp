#include "store/ImageThumbnail.h"
#include "support/TestImages.h"

#include <QtEndian>

#include <gtest/gtest.h>

using namespace orv;

TEST(ImageThumbnail, DimensionsComeFromTheHeader) {
    EXPECT_EQ(ImageThumbnail::dimensions(TestImages::png(7, 3)), QSize(7, 3));
    EXPECT_FALSE(ImageThumbnail::dimensions("abc"));
    EXPECT_FALSE(ImageThumbnail::dimensions({}));
    // Only the header is read, so a claimed size is reported without decoding anything.
    EXPECT_EQ(ImageThumbnail::dimensions(TestImages::pngClaiming(100000, 90000)),
              QSize(100000, 90000));
}

TEST(ImageThumbnail, ThumbnailsKeepTheAspectRatioAndNeverGrow) {
    const auto large = ImageThumbnail::png(TestImages::png(4000, 3000), 360);
    ASSERT_TRUE(large);
    EXPECT_EQ(TestImages::decode(*large).size(), QSize(360, 270));

    const auto tall = ImageThumbnail::png(TestImages::png(100, 1000), 360);
    ASSERT_TRUE(tall);
    EXPECT_EQ(TestImages::decode(*tall).size(), QSize(36, 360));

    const auto small = ImageThumbnail::png(TestImages::png(100, 50, Qt::green), 360);
    ASSERT_TRUE(small);
    const QImage decoded = TestImages::decode(*small);
    EXPECT_EQ(decoded.size(), QSize(100, 50));
    EXPECT_EQ(decoded.pixelColor(10, 10), QColor(Qt::green));

    EXPECT_FALSE(ImageThumbnail::png("not an image", 360));
    EXPECT_FALSE(ImageThumbnail::png(TestImages::png(10, 10), 0));
}

TEST(ImageThumbnail, OrientationIsAppliedToThePixels) {
    // Orientation 6 stores the picture lying on its side: 400 wide becomes 400 tall.
    const auto rotated = ImageThumbnail::png(TestImages::jpegWithOrientation(400, 200, 6), 360);
    ASSERT_TRUE(rotated);
    EXPECT_EQ(TestImages::decode(*rotated).size(), QSize(180, 360));

    const auto upright = ImageThumbnail::png(TestImages::jpegWithOrientation(40, 20, 1), 360);
    ASSERT_TRUE(upright);
    EXPECT_EQ(TestImages::decode(*upright).size(), QSize(40, 20));
}

TEST(ImageThumbnail, DecompressionBombsYieldNothing) {
    // Each claims gigabytes of pixels from about a kilobyte of data.
    EXPECT_FALSE(ImageThumbnail::png(TestImages::pngClaiming(100000, 100000), 360));
    EXPECT_FALSE(ImageThumbnail::png(TestImages::pngClaiming(20000, 20000), 360));
    EXPECT_FALSE(ImageThumbnail::png(TestImages::pngClaiming(0x7FFFFFFF, 1), 360));
}

TEST(ImageThumbnail, ThumbnailsFitEvenWhenTheHeaderUnderstatesTheSize) {
    // A GIF whose one 1×1 frame sits on a 4000×3000 canvas: the reader reports the frame, then
    // decodes the canvas.
    QByteArray gif =
        QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw==");
    ASSERT_EQ(gif.size(), 43);
    qToLittleEndian<quint16>(4000, gif.data() + 6);
    qToLittleEndian<quint16>(3000, gif.data() + 8);
    const auto thumbnail = ImageThumbnail::png(gif, 360);
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(TestImages::decode(*thumbnail).size(), QSize(360, 270));
}

TEST(ImageThumbnail, PngDataEncodesOneImage) {
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(QColor(10, 20, 30, 128));
    const auto bytes = ImageThumbnail::pngData(image);
    ASSERT_TRUE(bytes);
    EXPECT_TRUE(bytes->startsWith("\x89PNG"));
    const QImage back = TestImages::decode(*bytes);
    EXPECT_EQ(back.size(), QSize(3, 2));
    EXPECT_EQ(back.pixelColor(1, 1), QColor(10, 20, 30, 128));
    EXPECT_FALSE(ImageThumbnail::pngData(QImage()));
}
