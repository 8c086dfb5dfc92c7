#include "preview/FilePreview.h"
#include "preview/FileTypeIcon.h"
#include "preview/FileTypeIconView.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QScrollArea>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orv;

namespace {

// An icon theme of two pictures (or none) in a temporary folder, made current for one test.
class TestIconTheme {
public:
    explicit TestIconTheme(bool withPictures = true)
        : m_searchPaths(QIcon::themeSearchPaths()),
          m_themeName(QIcon::themeName()),
          m_fallbackPaths(QIcon::fallbackSearchPaths()) {
        const QString theme = m_dir.filePath("orvantide-test");
        QDir().mkpath(theme + "/16x16/mimetypes");
        QFile index(theme + "/index.theme");
        index.open(QIODevice::WriteOnly);
        index.write(
            "[Icon Theme]\nName=orvantide-test\nDirectories=16x16/mimetypes\n\n"
            "[16x16/mimetypes]\nSize=16\nType=Fixed\n");
        index.close();
        QImage picture(16, 16, QImage::Format_ARGB32);
        picture.fill(Qt::darkRed);
        for (const char* name : {"application-pdf", "application-octet-stream"}) {
            if (withPictures && !picture.save(theme + "/16x16/mimetypes/" + name + ".png")) {
                ADD_FAILURE() << "cannot write the test icon " << name;
            }
        }
        QIcon::setFallbackSearchPaths({});
        QIcon::setThemeSearchPaths({m_dir.path()});
        QIcon::setThemeName("orvantide-test");
    }
    ~TestIconTheme() {
        QIcon::setThemeSearchPaths(m_searchPaths);
        QIcon::setFallbackSearchPaths(m_fallbackPaths);
        QIcon::setThemeName(m_themeName);
    }

private:
    QTemporaryDir m_dir;
    QStringList m_searchPaths;
    QString m_themeName;
    QStringList m_fallbackPaths;
};

}  // namespace

TEST(FileTypeIcon, ExtensionIsTakenFromTheLastComponentOnly) {
    EXPECT_EQ(FileTypeIcon::extension("/x/informe.pdf"), "pdf");
    EXPECT_EQ(FileTypeIcon::extension("/x/copia.tar.gz"), "gz");
    EXPECT_EQ(FileTypeIcon::extension("/x/README"), "");
    EXPECT_EQ(FileTypeIcon::extension("/x.d/Makefile"), "");
    EXPECT_EQ(FileTypeIcon::extension("/x/fotos.2024/"), "2024");
    EXPECT_EQ(lastPathComponent("/x/fotos/"), "fotos");
    EXPECT_EQ(lastPathComponent("/"), "/");
}

TEST(FileTypeIcon, TypeIconComesFromTheExtensionAloneAndFallsBackToGenericData) {
    const QStringList pdf = FileTypeIcon::themeNames("/no/existe/informe.PDF");
    ASSERT_FALSE(pdf.isEmpty());
    EXPECT_EQ(pdf.first(), "application-pdf");
    EXPECT_EQ(pdf.last(), "application-octet-stream");
    EXPECT_EQ(FileTypeIcon::themeNames("/no/existe/README"),
              QStringList{"application-octet-stream"});
    EXPECT_EQ(FileTypeIcon::themeNames("/no/existe/x.zzqqy"),
              QStringList{"application-octet-stream"});

    // A file's content never counts: a README holding a PDF is still plain data.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile disguised(dir.filePath("README"));
    ASSERT_TRUE(disguised.open(QIODevice::WriteOnly));
    disguised.write("%PDF-1.4\n%\xe2\xe3\xcf\xd3\n");
    disguised.close();
    EXPECT_EQ(FileTypeIcon::themeNames(disguised.fileName()),
              QStringList{"application-octet-stream"});

    {
        TestIconTheme theme;
        EXPECT_EQ(FileTypeIcon::image("/no/existe/informe.pdf").name(), "application-pdf");
        EXPECT_EQ(FileTypeIcon::image("/no/existe/README").name(), "application-octet-stream");
        EXPECT_EQ(FileTypeIcon::image(disguised.fileName()).name(), "application-octet-stream");
    }

    // Whatever the session's icon theme holds, there is always a picture.
    EXPECT_FALSE(FileTypeIcon::image("/no/existe/informe.pdf").isNull());
    EXPECT_FALSE(FileTypeIcon::image("/no/existe/README").isNull());
    EXPECT_FALSE(FileTypeIcon::image("").pixmap(28).isNull());
}

TEST(FileTypeIcon, WithoutAThemeEveryFileSharesOnePicture) {
    TestIconTheme empty(false);
    const QIcon first = FileTypeIcon::image("/x/informe.pdf");
    EXPECT_FALSE(first.pixmap(28).isNull());
    // One icon for all: a new one per file would leave a scaled copy in the pixmap cache for each.
    EXPECT_EQ(FileTypeIcon::image("/x/notas").cacheKey(), first.cacheKey());
}

TEST(FilePreview, ShowsAMessageOneLargeIconOrAListOfRows) {
    FilePreview none({});
    const auto* message = none.findChild<QLabel*>("emptyMessage");
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), "No hay archivos en este clip.");
    EXPECT_TRUE(none.findChildren<FileTypeIconView*>().isEmpty());

    FilePreview one({"/x/informe.pdf"});
    const auto single = one.findChildren<FileTypeIconView*>();
    ASSERT_EQ(single.size(), 1);
    EXPECT_EQ(single.first()->path(), "/x/informe.pdf");
    EXPECT_EQ(single.first()->size(), QSize(128, 128));
    EXPECT_EQ(one.findChild<QScrollArea*>(), nullptr);

    const QString longName = "/x/" + QString("presupuesto anual ").repeated(12) + ".xlsx";
    FilePreview two({"/x/informe.pdf", longName});
    ASSERT_NE(two.findChild<QScrollArea*>("fileList"), nullptr);
    const auto icons = two.findChildren<FileTypeIconView*>();
    ASSERT_EQ(icons.size(), 2);
    EXPECT_EQ(icons.at(0)->path(), "/x/informe.pdf");
    EXPECT_EQ(icons.at(1)->path(), longName);
    EXPECT_EQ(icons.at(0)->size(), QSize(28, 28));
    const auto names = two.findChildren<ElidedLabel*>();
    ASSERT_EQ(names.size(), 2);
    EXPECT_EQ(names.at(0)->text(), "informe.pdf");
    EXPECT_EQ(names.at(0)->lines(300), QStringList{"informe.pdf"});
    EXPECT_EQ(names.at(1)->lines(300).size(), 1);
    EXPECT_TRUE(names.at(1)->lines(300).first().endsWith(QChar(0x2026)));
}

TEST(FilePreview, ALongListShowsItsFirstRowsAndACountOfTheRest) {
    QStringList paths;
    for (int i = 0; i < 12345; ++i) {
        paths.append(QStringLiteral("/x/foto-%1.jpg").arg(i));
    }
    FilePreview many(paths);
    EXPECT_EQ(many.count(), 12345);
    const auto icons = many.findChildren<FileTypeIconView*>();
    ASSERT_EQ(icons.size(), 10);
    EXPECT_EQ(icons.first()->path(), "/x/foto-0.jpg");
    EXPECT_EQ(icons.last()->path(), "/x/foto-9.jpg");
    const auto* more = many.findChild<QLabel*>("moreFiles");
    ASSERT_NE(more, nullptr);
    EXPECT_EQ(more->text(), QStringLiteral("y 12\u00A0335 más"));
    // A few widgets for each row shown, none for the paths left out.
    EXPECT_LT(many.findChildren<QWidget*>().size(), 10 * FilePreview::maxRows);

    FilePreview full(paths.mid(0, FilePreview::maxRows));
    EXPECT_EQ(full.findChildren<FileTypeIconView*>().size(), FilePreview::maxRows);
    EXPECT_EQ(full.findChild<QLabel*>("moreFiles"), nullptr);
    EXPECT_EQ(FilePreview::moreText(1), "y 1 más");
}
