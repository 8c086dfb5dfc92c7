#include "store/TextFolding.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <optional>
#include <ostream>
#include <random>
#include <string>
#include <utility>
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

// contains_folded(value, needle) and instr(lower(value), needle) > 0 on the same connection, -1
// standing for NULL.
class FoldedSearch {
public:
    FoldedSearch() {
        sqlite3_open(":memory:", &m_db);
        EXPECT_TRUE(TextFolding::registerSqlFunctions(m_db));
        EXPECT_EQ(
            sqlite3_prepare_v2(m_db, "SELECT contains_folded(?1, ?2), instr(lower(?1), ?2) > 0", -1,
                               &m_statement, nullptr),
            SQLITE_OK);
    }
    ~FoldedSearch() {
        sqlite3_finalize(m_statement);
        sqlite3_close(m_db);
    }

    std::pair<int, int> operator()(const std::optional<std::string>& value,
                                   const std::optional<std::string>& needle) {
        sqlite3_reset(m_statement);
        for (const int index : {1, 2}) {
            const auto& text = index == 1 ? value : needle;
            if (text) {
                sqlite3_bind_text(m_statement, index, text->data(), int(text->size()),
                                  SQLITE_TRANSIENT);
            } else {
                sqlite3_bind_null(m_statement, index);
            }
        }
        EXPECT_EQ(sqlite3_step(m_statement), SQLITE_ROW) << sqlite3_errmsg(m_db);
        const auto answer = [this](int column) {
            return sqlite3_column_type(m_statement, column) == SQLITE_NULL
                       ? -1
                       : sqlite3_column_int(m_statement, column);
        };
        return {answer(0), answer(1)};
    }

private:
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_statement = nullptr;
};

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

TEST(TextFolding, ContainsFoldedAnswersAsInstrOfLower) {
    FoldedSearch search;
    using Both = std::pair<int, int>;
    EXPECT_EQ(search(std::nullopt, "a"), Both(-1, -1));
    EXPECT_EQ(search("a", std::nullopt), Both(-1, -1));
    EXPECT_EQ(search("abc", ""), Both(1, 1));
    EXPECT_EQ(search("", ""), Both(1, 1));
    EXPECT_EQ(search("", "a"), Both(0, 0));
    EXPECT_EQ(search("STRAẞE", "strasse"), Both(1, 1));
    EXPECT_EQ(search("una ﬁesta", "afi"), Both(0, 0));
    EXPECT_EQ(search("cafe\u0301!", "cafe!"), Both(1, 1));
    EXPECT_EQ(search("\xff\xc3(\x80", "\xff\xc3(\x80"), Both(1, 1));
    // Long enough for the fast path of Latin text: all of the folded value is found.
    std::string latin;
    std::string latinFolded;
    for (int k = 0; k < 50; ++k) {
        latin += "Ñandú ẞ\xff\xc3(\x80 E\u0301 ";
        latinFolded += "nandu ss\xff\xc3(\x80 e ";
    }
    EXPECT_EQ(search(latin, latinFolded), Both(1, 1));
    // A needle longer than the pieces the value is folded in.
    const std::string as(40000, 'A');
    EXPECT_EQ(search(as + "B", std::string(20000, 'a') + "b"), Both(1, 1));
    EXPECT_EQ(search(as + "B", std::string(20000, 'a') + "c"), Both(0, 0));

    // Values a piece or two long (16 KiB folded), the needle placed across where one ends, after
    // ASCII or after a mix of folds that shrink, grow, vanish, and bytes that are not UTF-8.
    const std::vector<std::string> tokens = {
        "a", "B", "s", "S", "ß", "ẞ", "é",    "É",    "e\u0301", "\u0301",
        "ﬁ", "f", "i", "ñ", " ", "👍", "\xff", "\xc3", "\x80",    "\xe2\x82"};
    const std::vector<std::pair<std::string, std::string>> planted = {{"STRAẞE", "strasse"},
                                                                      {"ﬁesta", "fiesta"},
                                                                      {"CAFE\u0301 ñ", "cafe n"},
                                                                      {"STRAẞE", "strassen"},
                                                                      {"s", "sss"}};
    std::mt19937 random(7);
    const auto filler = [&](size_t bytes, bool ascii) {
        std::string text;
        while (text.size() < bytes) {
            text += ascii ? "x" : tokens[random() % tokens.size()];
        }
        return text;
    };
    int found = 0;
    int missed = 0;
    for (const size_t piece : {16384, 32768}) {
        for (int shift = -24; shift <= 24; shift += 2) {
            for (const auto& [original, needle] : planted) {
                const std::string value =
                    filler(piece + shift, shift % 4 == 0) + original + filler(100, false);
                const auto [contains, instr] = search(value, needle);
                EXPECT_EQ(contains, instr) << needle << " at " << piece + shift;
                // A signature never rules out a value that holds the needle.
                const bool may = TextFolding::mayHold(
                    TextFolding::pairSignature(QByteArrayView(value)), QByteArrayView(needle));
                EXPECT_TRUE(contains != 1 || may) << needle << " at " << piece + shift;
                if (contains == 1) {
                    ++found;
                } else {
                    ++missed;
                }
            }
        }
    }
    EXPECT_GT(found, 100);
    EXPECT_GT(missed, 20);
    const auto signature = TextFolding::pairSignature("Lorem IPSUM dolor");
    EXPECT_TRUE(TextFolding::mayHold(signature, "ipsum d"));
    EXPECT_FALSE(TextFolding::mayHold(signature, "aguja"));
}

TEST(TextFolding, AMatchIsFoundWhereverItStandsAmongLookalikes) {
    // Fillers full of places that begin and end like the needle.
    std::mt19937 random(11);
    for (const int size : {1, 2, 3, 4, 9, 17, 40}) {
        const QByteArray needle =
            size <= 2 ? QByteArray(size, 'x') : 'a' + QByteArray(size - 2, 'x') + 'b';
        for (int length = size; length <= 90; ++length) {
            QByteArray filler(length, ' ');
            for (char& c : filler) {
                c = "aby"[random() % 3];
            }
            EXPECT_FALSE(TextFolding::containsFolded(filler, needle)) << filler.constData();
            for (int at = 0; at + size <= length; ++at) {
                QByteArray text = filler;
                text.replace(at, size, needle);
                ASSERT_TRUE(TextFolding::containsFolded(text, needle)) << text.constData();
            }
        }
    }
}
