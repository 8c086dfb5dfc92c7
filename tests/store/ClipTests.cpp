#include "store/CapturedClip.h"
#include "store/Clip.h"
#include "store/ClipIdentity.h"
#include "store/ClipListFilter.h"
#include "store/Graphemes.h"

#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

using namespace orv;

namespace {

Clip clipOf(ClipKind kind, const QString& value, bool pinned = false) {
    Clip clip;
    clip.kind = kind;
    clip.value = value;
    clip.pinned = pinned;
    return clip;
}

QString repeated(const QString& piece, int times) {
    QString out;
    for (int i = 0; i < times; ++i) {
        out += piece;
    }
    return out;
}

}  // namespace

TEST(ClipIdentity, ImageValueIsFnv1aInBase36WithSizeAndLength) {
    EXPECT_EQ(ClipIdentity::imageValue("abc", 2, 1), "image:7aigaz:2x1:3");
    // The FNV offset basis itself, 2166136261, for no bytes.
    EXPECT_EQ(ClipIdentity::imageValue({}, 0, 0), "image:ztntfp:0x0:0");
    EXPECT_NE(ClipIdentity::imageValue("abd", 2, 1), ClipIdentity::imageValue("abc", 2, 1));
}

TEST(ClipIdentity, ParseHexAcceptsTheFourFormsInAnyCase) {
    using ClipIdentity::RGBA;
    EXPECT_EQ(ClipIdentity::parseHex(u"#FFF"), (RGBA{1, 1, 1, 1}));
    EXPECT_EQ(ClipIdentity::parseHex(u" #ff000080\n"), (RGBA{1, 0, 0, 128 / 255.0}));
    EXPECT_EQ(ClipIdentity::parseHex(u"#FF000080"), ClipIdentity::parseHex(u"#ff000080"));
    EXPECT_EQ(ClipIdentity::parseHex(u"#abcd"), ClipIdentity::parseHex(u"#aabbccdd"));
    EXPECT_EQ(ClipIdentity::parseHex(u"#0080ff"), (RGBA{0, 128 / 255.0, 1, 1}));

    for (const char16_t* rejected : {u"FF0000", u"#", u"#12345", u"#1234567", u"#GG0000",
                                     u"# FF0000", u"", u"#123456789", u"#ff00ff\u00e9", u"#١٢٣"}) {
        EXPECT_FALSE(ClipIdentity::parseHex(rejected))
            << QString::fromUtf16(rejected).toStdString();
    }
}

TEST(Clip, ColourLikeTextCountsAsColourButKeepsItsStoredKind) {
    const Clip hex = clipOf(ClipKind::text, "#FF0000");
    EXPECT_EQ(hex.effectiveKind(), ClipKind::color);
    EXPECT_EQ(hex.kind, ClipKind::text);
    EXPECT_EQ(hex.listTitle(), "#FF0000");
    EXPECT_TRUE(ClipListFilter::ofKind(ClipKind::color).matches(hex));
    EXPECT_FALSE(ClipListFilter::ofKind(ClipKind::text).matches(hex));
    EXPECT_EQ(clipOf(ClipKind::text, "FF0000").effectiveKind(), ClipKind::text);
    EXPECT_EQ(clipOf(ClipKind::image, "#FF0000").effectiveKind(), ClipKind::image);
}

TEST(Clip, TextTitlesAreCutByUserPerceivedCharacters) {
    EXPECT_EQ(clipOf(ClipKind::text, repeated("a", 600)).listTitle(), repeated("a", 500));
    EXPECT_EQ(clipOf(ClipKind::text, repeated("a", 500)).listTitle(), repeated("a", 500));

    // e + combining acute: two UTF-16 units, one character; a cut inside would leave a bare "e".
    const QString accented = QStringLiteral("e\u0301");
    EXPECT_EQ(clipOf(ClipKind::text, repeated(accented, 600)).listTitle(), repeated(accented, 500));
    // A family emoji is five code points joined into one character.
    const QString family = QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467");
    EXPECT_EQ(Graphemes::prefix(repeated(family, 3) + "x", 2), repeated(family, 2));
    EXPECT_EQ(Graphemes::prefix("abc", 5), "abc");
    EXPECT_EQ(Graphemes::prefix("abc", 0), "");

    // Only the start of a text is looked at, however long the text and its characters: the cut
    // agrees with one made over the whole text.
    const auto whole = [](const QString& text, qsizetype count) {
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        qsizetype end = 0;
        for (qsizetype n = 0; n < count && end >= 0; ++n) {
            end = finder.toNextBoundary();
        }
        return end < 0 ? text : text.left(end);
    };
    const QString stacked = "e" + repeated(QStringLiteral("́"), 90);
    const QString flags = QStringLiteral("🇪🇸");  // two regional indicators
    for (const QString& text : {repeated(stacked, 40), "x" + repeated(flags, 300),
                                repeated(family + "ab", 200), repeated("a", 1'000'000)}) {
        for (const qsizetype count : {1, 3, 17, 500}) {
            EXPECT_EQ(Graphemes::prefix(text, count), whole(text, count)) << count;
        }
    }

    // Line breaks stay; nothing is trimmed.
    EXPECT_EQ(clipOf(ClipKind::text, "  one\ntwo  ").listTitle(), "  one\ntwo  ");
}

TEST(Clip, ImageValuesYieldTheirPixelSizeAndTitle) {
    const Clip unknown = clipOf(ClipKind::image, "image:7aigaz:0x0:3");
    EXPECT_FALSE(unknown.pixelSize());
    EXPECT_EQ(unknown.listTitle(), "Imagen");

    const Clip known = clipOf(ClipKind::image, "image:7aigaz:640x480:3");
    EXPECT_EQ(known.pixelSize(), QSize(640, 480));
    EXPECT_EQ(known.listTitle(), QStringLiteral("Imagen \u00B7 640\u00D7480"));

    for (const char* bad : {"image:7aigaz:640x480", "picture:7aigaz:640x480:3", "image:a:640:3",
                            "image:a:640x480x2:3", "image:a:-1x5:3", "image:a:wxh:3", ""}) {
        EXPECT_FALSE(clipOf(ClipKind::image, bad).pixelSize()) << bad;
    }
    // Empty pieces are dropped before counting.
    EXPECT_EQ(clipOf(ClipKind::image, "image::a:3xx4:9").pixelSize(), QSize(3, 4));
}

TEST(Clip, FilesListTheirPathsAndTitleTheFirstName) {
    const Clip three = clipOf(ClipKind::files, "/a/b.txt\n/c/d.txt\n\n/e");
    EXPECT_EQ(three.filePaths(), (QStringList{"/a/b.txt", "/c/d.txt", "/e"}));
    EXPECT_EQ(three.listTitle(), "b.txt (+2)");
    EXPECT_EQ(clipOf(ClipKind::files, "/docs/informe.pdf").listTitle(), "informe.pdf");
    EXPECT_EQ(clipOf(ClipKind::files, "/home/ana/Fotos/").listTitle(), "Fotos");
    EXPECT_EQ(clipOf(ClipKind::files, "").listTitle(), "Archivo");
    EXPECT_EQ(clipOf(ClipKind::files, "/").listTitle(), "/");
    EXPECT_EQ(clipOf(ClipKind::color, "#12345678").listTitle(), "#12345678");
}

TEST(Clip, LongFileListsAreCountedAndCutWithoutListingThemAll) {
    const Clip three = clipOf(ClipKind::files, "\n/a/b.txt\n/c/d.txt\n\n/e\n");
    EXPECT_EQ(three.fileCount(), 3);
    EXPECT_EQ(three.filePaths(2), (QStringList{"/a/b.txt", "/c/d.txt"}));
    EXPECT_EQ(three.filePaths(9), three.filePaths());
    EXPECT_TRUE(three.filePaths(0).isEmpty());
    EXPECT_EQ(clipOf(ClipKind::files, "\n\n").fileCount(), 0);

    QString value = "/docs/informe.pdf";
    for (int i = 0; i < 49999; ++i) {
        value += QStringLiteral("\n/docs/anexo-%1.pdf").arg(i);
    }
    const Clip many = clipOf(ClipKind::files, value);
    EXPECT_EQ(many.fileCount(), 50000);
    EXPECT_EQ(many.filePaths().size(), 50000);
    EXPECT_EQ(many.listTitle(), QStringLiteral("informe.pdf (+49\u00A0999)"));

    // Spanish groups digits by threes only from five digits on.
    EXPECT_EQ(formatCount(0), "0");
    EXPECT_EQ(formatCount(4990), "4990");
    EXPECT_EQ(formatCount(49990), QStringLiteral("49\u00A0990"));
    EXPECT_EQ(formatCount(1234567), QStringLiteral("1\u00A0234\u00A0567"));
}

TEST(ClipListFilter, AvailableOffersFiltersOnlyWhenTheyNarrowSomething) {
    using F = ClipListFilter;
    EXPECT_TRUE(F::available({}).isEmpty());
    EXPECT_TRUE(F::available({clipOf(ClipKind::text, "a"), clipOf(ClipKind::text, "b")}).isEmpty());
    EXPECT_EQ(F::available({clipOf(ClipKind::text, "a"), clipOf(ClipKind::text, "b", true)}),
              (QList<F>{F::all(), F::pinned()}));
    EXPECT_EQ(F::available({clipOf(ClipKind::text, "a"), clipOf(ClipKind::text, "#abc")}),
              (QList<F>{F::all(), F::ofKind(ClipKind::text), F::ofKind(ClipKind::color)}));
    EXPECT_EQ(F::available({clipOf(ClipKind::image, "image:x:1x1:1"), clipOf(ClipKind::files, "/a"),
                            clipOf(ClipKind::text, "t", true)}),
              (QList<F>{F::all(), F::ofKind(ClipKind::text), F::ofKind(ClipKind::image),
                        F::ofKind(ClipKind::files), F::pinned()}));
    EXPECT_TRUE(F::pinned().matches(clipOf(ClipKind::text, "a", true)));
    EXPECT_FALSE(F::pinned().matches(clipOf(ClipKind::text, "a")));
}

TEST(CapturedClip, PayloadsCompareByContent) {
    const CapturedClip a{CapturedClip::Text{"hola", QStringLiteral("<b>hola</b>")}, "Editor"};
    CapturedClip b = a;
    EXPECT_EQ(a, b);
    b.payload = CapturedClip::Text{"hola", std::nullopt};
    EXPECT_NE(a, b);
    EXPECT_NE((CapturedClip{CapturedClip::Color{"#FFFFFF"}, std::nullopt}),
              (CapturedClip{CapturedClip::Text{"#FFFFFF", std::nullopt}, std::nullopt}));
}
