#include "preview/ImageDecoding.h"
#include "support/TestImages.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orv;

TEST(ImageDecoding, FitsThePictureAsShownAndRefusesWhatItCannotDecodeSafely) {
    QTemporaryDir dir;
    const auto decoded = [&](const char* name, const QByteArray& bytes, QSize bound) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        return ImageDecoding::read(file.fileName(), bound, Qt::KeepAspectRatio);
    };
    // Stored 200 × 100 with the orientation "turn 90°": fitted standing.
    EXPECT_EQ(decoded("turned.jpg", TestImages::jpegWithOrientation(200, 100, 6), {100, 50}).size(),
              QSize(25, 50));
    EXPECT_TRUE(decoded("bomb.png", TestImages::pngClaiming(60000, 60000), {100, 100}).isNull());
    EXPECT_TRUE(decoded("junk.png", "no image", {100, 100}).isNull());
}
