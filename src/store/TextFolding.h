#pragma once

#include <QByteArrayView>
#include <QtGlobal>

#include <QList>
#include <QString>
#include <QStringView>
#include <array>

struct sqlite3;

namespace orv {

// Search folding: one Unicode-aware folding of case and accents for the search text and for stored
// values, so "cancion" finds "CANCIÓN" and "arbol" finds "Árbol". Each character folds on its
// own: to lower case (full mapping: "ß" gives "ss"), decomposed (compatibility too: "ﬁ" gives
// "fi", "²" gives "2"), without the combining accents of Latin, Greek and Cyrillic letters ("ñ"
// gives "n", "ü" gives "u"); a lone combining accent folds to nothing.
namespace TextFolding {

// The search text as the list statement compares it.
QString searchFolded(const QString& text);

// Replaces the connection's lower() and instr() with Unicode-aware and faster ones of the same
// meaning for the search (lower() folds as above), so the list statement keeps its text, and adds
// contains_folded(value, needle): containsFolded() below, NULL when either side is NULL. False
// when SQLite refuses them.
bool registerSqlFunctions(sqlite3* database);

// Whether `utf8`, folded as above, holds `foldedNeedle`, which must be folded already (as
// searchFolded() gives it): the same answer as folding all of `utf8` and searching, but a piece
// at a time, stopping at the first match. True for an empty needle.
bool containsFolded(QByteArrayView utf8, QByteArrayView foldedNeedle);

// `utf8` folded as above, whole.
QByteArray folded(QByteArrayView utf8);
// Whether `foldedText` (as folded() gives it) holds `foldedNeedle`: containsFolded() for a text
// folded beforehand.
bool holdsFolded(QByteArrayView foldedText, QByteArrayView foldedNeedle);

// Which pairs of adjacent bytes a folded text holds, 4096 buckets of them: a text lacking one of
// a needle's pairs cannot hold the needle. Cheap to test for values too long to keep folded.
struct PairSignature {
    std::array<quint64, 64> bits{};
    friend bool operator==(const PairSignature&, const PairSignature&) = default;
};
// The signature of `utf8` folded whole, made a piece at a time.
PairSignature pairSignature(QByteArrayView utf8);
// False only when a text of this signature cannot hold `foldedNeedle`.
bool mayHold(const PairSignature& signature, QByteArrayView foldedNeedle);

// A piece of a text, in UTF-16 units.
struct Span {
    qsizetype start = 0;
    qsizetype length = 0;
    friend bool operator==(const Span&, const Span&) = default;
};

// Where the (trimmed) search text occurs in `text` under the same folding, as the store matches
// it: every occurrence, in order, without overlaps, each widened to whole user-perceived
// characters of the original text. Nothing for a blank search. Work grows with `text`: give it
// only what is shown.
QList<Span> matchedSpans(QStringView text, QStringView search);

}  // namespace TextFolding

}  // namespace orv
