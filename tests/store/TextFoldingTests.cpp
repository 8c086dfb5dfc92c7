#include "store/TextFolding.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace orv::TextFolding {

void PrintTo(const Span& span, std::ostream* out) {
    *out << "{" << span.start << ", " << span.length << "}";
}

}  // namespace orv::TextFolding

using namespace orv;
using TextFolding::Span;
using Pieces = std::vector<std::string>;

namespace {

// In UTF-8, which failures print readably.
std::string folded(const QString& text) {
    return TextFolding::searchFolded(text).toStdString();
}

// The pieces of `text` a search marks.
Pieces marked(const QString& text, const QString& search) {
    Pieces pieces;
    for (const Span& span : TextFolding::matchedSpans(text, search)) {
        pieces.push_back(text.mid(span.start, span.length).toStdString());
    }
    return pieces;
}

}  // namespace

TEST(TextFolding, FoldsCaseAndAccentsOfEveryCharacter) {
    EXPECT_EQ(folded("CANCIÓN"), "cancion");
    EXPECT_EQ(folded("Árbol, CAFÉ, Pingüino, AÑO"), "arbol, cafe, pinguino, ano");
    EXPECT_EQ(folded("ΣΟΦΊΑ σοφίας ЁЖИК"), "σοφια σοφιασ ежик");
    // ASCII eight bytes at a time, with the characters either side of A-Z and a-z.
    EXPECT_EQ(folded("@AZ[`az{ HELLO THERE, GENERAL KENOBI"),
              "@az[`az{ hello there, general kenobi");
    // ASCII next to other characters within the same eight bytes.
    EXPECT_EQ(folded("UNA CANCIÓN DE CUNA BAJO EL ÁRBOL ÑANDÚ"),
              "una cancion de cuna bajo el arbol nandu");
    EXPECT_EQ(folded(""), "");

    // Folds that change the length.
    EXPECT_EQ(folded("Straße STRASSE ẞ"), "strasse strasse ss");
    EXPECT_EQ(folded("ﬁesta ﬂor ﬃ"), "fiesta flor ffi");
    EXPECT_EQ(folded("cafe\u0301"), "cafe");
    EXPECT_EQ(folded(QStringLiteral("\u0301")), "");
    EXPECT_EQ(folded("İstanbul"), "istanbul");
    EXPECT_EQ(folded("x² ½ … ℡"), "x2 1\u20442 ... tel");
    EXPECT_EQ(folded("Œuvre Æsir Łódź Øre"), "oeuvre aesir lodz ore");
    EXPECT_EQ(folded(QStringLiteral("a\u00A0b")), "a b");

    // Left alone: emoji, marks that make letters of their own, Hangul, spacing accents.
    EXPECT_EQ(folded("👍🏽 👨‍👩‍👧 ok"), "👍🏽 👨‍👩‍👧 ok");
    EXPECT_EQ(folded("がぎぐ"), "がぎぐ");
    EXPECT_EQ(folded("한국어"), "한국어");
    EXPECT_EQ(folded("´ ¨"), "´ ¨");

    // Folds that grow the text many times over, well past the room first given.
    const QString ligature(QChar(0xFDFA));
    const std::string once = folded(ligature);
    EXPECT_GT(once.size(), 10 * ligature.toUtf8().size());
    EXPECT_EQ(folded(ligature.repeated(2000) + "FIN"),
              QString::fromStdString(once).repeated(2000).toStdString() + "fin");
    EXPECT_EQ(folded(QString("½").repeated(3000)),
              QString("1\u20442").repeated(3000).toStdString());
}

TEST(TextFolding, MatchedSpansMarkWholeOriginalCharacters) {
    EXPECT_EQ(marked("Mi canción favorita", "CANCION"), Pieces{"canción"});
    EXPECT_EQ(marked("ÁRBOL y árbol y arbol", "  árbol "), (Pieces{"ÁRBOL", "árbol", "arbol"}));
    EXPECT_EQ(marked("Straße", "STRASSE"), Pieces{"Straße"});
    // A search for part of a folded character marks all of it.
    EXPECT_EQ(marked("Straße", "s"), (Pieces{"S", "ß"}));
    EXPECT_EQ(marked("una ﬁesta", "fi"), Pieces{"ﬁ"});
    EXPECT_EQ(marked("una ﬁesta", "iesta"), Pieces{"ﬁesta"});
    // The accent of a combining sequence comes along; an accented search finds it too.
    EXPECT_EQ(marked("cafe\u0301 solo", "cafe"), Pieces{"cafe\u0301"});
    EXPECT_EQ(marked("cafe\u0301 solo", "café"), Pieces{"cafe\u0301"});
    EXPECT_EQ(marked("un café", "cafe\u0301"), Pieces{"café"});
    // Emoji: offsets count UTF-16 units, and a modifier stays with its emoji.
    EXPECT_EQ(TextFolding::matchedSpans(u"😀 niño", u"NINO"), (QList<Span>{{3, 4}}));
    EXPECT_EQ(marked("a👍🏽b", "👍"), Pieces{"👍🏽"});

    // Every occurrence, without overlaps; touching ones join.
    EXPECT_EQ(TextFolding::matchedSpans(u"banana", u"ana"), (QList<Span>{{1, 3}}));
    EXPECT_EQ(TextFolding::matchedSpans(u"Ana y ANA", u"ana"), (QList<Span>{{0, 3}, {6, 3}}));
    EXPECT_EQ(TextFolding::matchedSpans(u"aaaa", u"aa"), (QList<Span>{{0, 4}}));

    EXPECT_TRUE(marked("canción", "cancion favorita").empty());
    EXPECT_TRUE(marked("canción", "canciones").empty());
    EXPECT_TRUE(marked("canción", " \n ").empty());
    EXPECT_TRUE(marked("", "a").empty());
}
