#include "store/TextFolding.h"

#include <QTextBoundaryFinder>

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orv {

namespace {

constexpr char32_t kLastCodePoint = 0x10FFFF;

// The combining accents of Latin, Greek and Cyrillic letters. Other scripts' marks stay: they
// make letters of their own (the dakuten of "が", the nukta of Devanagari).
bool isAccent(char32_t c) {
    return (c >= 0x0300 && c <= 0x036F) || (c >= 0x1AB0 && c <= 0x1AFF) ||
           (c >= 0x1DC0 && c <= 0x1DFF) || (c >= 0x20D0 && c <= 0x20FF) ||
           (c >= 0xFE20 && c <= 0xFE2F);
}

bool holdsOtherMarks(const QList<uint>& codePoints) {
    for (const uint c : codePoints) {
        if (!isAccent(c) && QChar::isMark(c)) {
            return true;
        }
    }
    return false;
}

// Letters that have no decomposition yet read as their base letters to most people.
const char* plainLetters(char32_t c) {
    switch (c) {
        case 0x00E6:  // æ
            return "ae";
        case 0x0153:  // œ
            return "oe";
        case 0x00F8:  // ø
            return "o";
        case 0x0142:  // ł
            return "l";
        case 0x0111:  // đ
            return "d";
        default:
            return nullptr;
    }
}

// One character's folded form in UTF-8. "ñ" folds to "n" on purpose: although a letter of its own
// in Spanish, people type "nino" for "niño" on keyboards without it or in haste, and a search
// that also lists "nino" costs far less than one that misses the clip. "ü" likewise.
std::string foldCodePoint(char32_t c) {
    if (c < 0x80) {
        return std::string(1, char(c >= 'A' && c <= 'Z' ? c + 32 : c));
    }
    if (isAccent(c)) {
        return {};
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > kLastCodePoint) {
        return QString(QChar::ReplacementCharacter).toUtf8().toStdString();
    }
    const QString original = QString::fromUcs4(&c, 1);
    // Through upper case for the full mappings: "ß" to "SS", "ﬁ" to "FI", "ẞ" via "ß" too.
    const QString cased = original.toLower().toUpper().toLower();
    QList<uint> pieces = cased.toUcs4();
    // Hangul syllables would fall apart into their jamo.
    const bool hangul = c >= 0xAC00 && c <= 0xD7A3;
    if (!hangul) {
        const QList<uint> decomposed = cased.normalized(QString::NormalizationForm_KD).toUcs4();
        if (!holdsOtherMarks(decomposed)) {
            pieces = decomposed;
        }
    }
    QString folded;
    for (const uint piece : pieces) {
        if (isAccent(piece)) {
            continue;
        }
        // Compatibility forms may be capitals: "℡" is "TEL".
        const char32_t lower = QChar::toLower(piece);
        if (const char* plain = plainLetters(lower)) {
            folded += QLatin1String(plain);
        } else {
            folded += QString::fromUcs4(&lower, 1);
        }
    }
    // A spacing accent ("´", "¨") would become a bare space: it stays itself.
    if (folded.trimmed().isEmpty() && !original.trimmed().isEmpty()) {
        folded = cased;
    }
    return folded.toUtf8().toStdString();
}

// The folded forms of 256 consecutive code points, back to back: code point `low` of the block
// folds to bytes [offsets[low], offsets[low + 1]).
struct FoldBlock {
    std::array<std::uint16_t, 257> offsets{};
    std::string bytes;
};

// Filled block by block on first use, from any thread: a block is made once, never changed, and
// kept for the life of the program.
std::array<std::atomic<const FoldBlock*>, (kLastCodePoint >> 8) + 1> g_blocks{};

const FoldBlock* makeBlock(char32_t high) {
    auto* block = new FoldBlock;
    for (char32_t low = 0; low < 256; ++low) {
        block->offsets[low] = std::uint16_t(block->bytes.size());
        block->bytes += foldCodePoint((high << 8) | low);
    }
    block->offsets[256] = std::uint16_t(block->bytes.size());
    const FoldBlock* expected = nullptr;
    if (g_blocks[high].compare_exchange_strong(expected, block, std::memory_order_acq_rel)) {
        return block;
    }
    delete block;
    return expected;
}

// A valid code point's folded form in UTF-8.
std::string_view foldedCodePoint(char32_t c) {
    const FoldBlock* block = g_blocks[c >> 8].load(std::memory_order_acquire);
    if (block == nullptr) {
        block = makeBlock(c >> 8);
    }
    const auto low = c & 0xFF;
    return {block->bytes.data() + block->offsets[low],
            size_t(block->offsets[low + 1] - block->offsets[low])};
}

// Where folded text goes: room for `capacity` bytes at `data`; `grow` makes room for at least
// the given count (moving `data`), false when memory runs out.
struct Output {
    unsigned char* data = nullptr;
    size_t capacity = 0;
    bool (*grow)(Output&, size_t) = nullptr;
    void* owner = nullptr;
};

// Folds UTF-8 text into `out`, which must start with room for the input. Bytes that are not valid
// UTF-8 pass unchanged. Returns the bytes written, or nothing when memory ran out. Search text
// and stored values both go through here; runs of ASCII, the common case, go eight bytes at a
// time and never need more room (one byte in, one out).
std::optional<size_t> foldUtf8(const unsigned char* in, size_t length, Output& out) {
    static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    size_t i = 0;
    size_t o = 0;
    while (i < length) {
        while (i + 8 <= length) {
            std::uint64_t word;
            std::memcpy(&word, in + i, 8);
            const std::uint64_t high = word & kHighBits;
            // Per byte: high bit of the first sum when >= 'A', of the second when > 'Z'. Exact for
            // the ASCII bytes before the first other one, the only ones kept: carries go to later
            // bytes.
            const std::uint64_t atLeastA = word + 0x3F3F3F3F3F3F3F3Full;
            const std::uint64_t aboveZ = word + 0x2525252525252525ull;
            word |= (atLeastA & ~aboveZ & kHighBits) >> 2;
            // Room for all eight: the rest of the input is still ahead.
            std::memcpy(out.data + o, &word, 8);
            if (high != 0) {
                const auto ascii = size_t(std::countr_zero(high) / 8);
                i += ascii;
                o += ascii;
                break;
            }
            i += 8;
            o += 8;
        }
        if (i >= length) {
            break;
        }
        const unsigned char c = in[i];
        if (c < 0x80) {
            out.data[o++] = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
            ++i;
            continue;
        }
        size_t size = 0;
        char32_t code = 0;
        char32_t smallest = 0;
        if ((c & 0xE0) == 0xC0) {
            size = 2;
            code = c & 0x1F;
            smallest = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            size = 3;
            code = c & 0x0F;
            smallest = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            size = 4;
            code = c & 0x07;
            smallest = 0x10000;
        }
        bool valid = size > 0 && i + size <= length;
        for (size_t k = 1; valid && k < size; ++k) {
            valid = (in[i + k] & 0xC0) == 0x80;
            code = (code << 6) | (in[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are not characters.
        if (!valid || code < smallest || code > kLastCodePoint ||
            (code >= 0xD800 && code <= 0xDFFF)) {
            out.data[o++] = c;
            ++i;
            continue;
        }
        const std::string_view folded = foldedCodePoint(code);
        if (folded.size() > size) {
            const size_t needed = o + folded.size() + (length - i - size);
            if (needed > out.capacity && !out.grow(out, needed)) {
                return std::nullopt;
            }
        }
        for (const char byte : folded) {
            out.data[o++] = static_cast<unsigned char>(byte);
        }
        i += size;
    }
    return o;
}

bool growSqliteBuffer(Output& out, size_t needed) {
    const size_t capacity = std::max(needed, out.capacity * 2);
    auto* moved = static_cast<unsigned char*>(sqlite3_realloc64(out.data, capacity));
    if (moved == nullptr) {
        return false;
    }
    out.data = moved;
    out.capacity = capacity;
    return true;
}

bool growByteArray(Output& out, size_t needed) {
    auto* bytes = static_cast<QByteArray*>(out.owner);
    bytes->resize(qsizetype(std::max(needed, out.capacity * 2)));
    out.data = reinterpret_cast<unsigned char*>(bytes->data());
    out.capacity = size_t(bytes->size());
    return true;
}

QByteArray foldedUtf8(const QByteArray& utf8) {
    QByteArray folded(utf8.size(), Qt::Uninitialized);
    Output out{reinterpret_cast<unsigned char*>(folded.data()), size_t(folded.size()),
               &growByteArray, &folded};
    const auto size = foldUtf8(reinterpret_cast<const unsigned char*>(utf8.constData()),
                               size_t(utf8.size()), out);
    folded.truncate(qsizetype(size.value_or(0)));
    return folded;
}

// Takes the place of SQLite's lower(), which folds only A to Z, so the list statement stays as it
// is.
void foldedLower(sqlite3_context* context, int, sqlite3_value** arguments) {
    sqlite3_value* argument = arguments[0];
    if (sqlite3_value_type(argument) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = sqlite3_value_text(argument);
    const auto length = size_t(sqlite3_value_bytes(argument));
    Output out{static_cast<unsigned char*>(sqlite3_malloc64(length + 1)), length + 1,
               &growSqliteBuffer, nullptr};
    if (text == nullptr || out.data == nullptr) {
        sqlite3_free(out.data);
        sqlite3_result_error_nomem(context);
        return;
    }
    const auto size = foldUtf8(text, length, out);
    if (!size) {
        sqlite3_free(out.data);
        sqlite3_result_error_nomem(context);
        return;
    }
    sqlite3_result_text64(context, reinterpret_cast<const char*>(out.data), *size, sqlite3_free,
                          SQLITE_UTF8);
}

// SQLite's instr() compares the needle at every position; glibc's memmem is much faster over the
// long values of a big history. Same result: the 1-based character index of the first match, 0
// when there is none, NULL when either side is NULL.
void fastInstr(sqlite3_context* context, int, sqlite3_value** arguments) {
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL ||
        sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const bool bytes = sqlite3_value_type(arguments[0]) == SQLITE_BLOB &&
                       sqlite3_value_type(arguments[1]) == SQLITE_BLOB;
    const void* haystack =
        bytes ? sqlite3_value_blob(arguments[0]) : sqlite3_value_text(arguments[0]);
    const auto haystackSize = size_t(sqlite3_value_bytes(arguments[0]));
    const void* needle =
        bytes ? sqlite3_value_blob(arguments[1]) : sqlite3_value_text(arguments[1]);
    const auto needleSize = size_t(sqlite3_value_bytes(arguments[1]));
    if (needleSize == 0) {
        sqlite3_result_int64(context, 1);
        return;
    }
    if (haystack == nullptr || needle == nullptr) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const auto* start = static_cast<const unsigned char*>(haystack);
    const auto* found =
        static_cast<const unsigned char*>(memmem(haystack, haystackSize, needle, needleSize));
    if (found == nullptr) {
        sqlite3_result_int64(context, 0);
        return;
    }
    sqlite3_int64 position = 1;
    for (const unsigned char* p = start; p < found; ++p) {
        if (bytes || (*p & 0xC0) != 0x80) {
            ++position;
        }
    }
    sqlite3_result_int64(context, position);
}

}  // namespace

namespace TextFolding {

QString searchFolded(const QString& text) {
    return QString::fromUtf8(foldedUtf8(text.toUtf8()));
}

bool registerSqlFunctions(sqlite3* database) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    using Function = void (*)(sqlite3_context*, int, sqlite3_value**);
    const std::pair<const char*, std::pair<int, Function>> functions[] = {
        {"lower", {1, &foldedLower}}, {"instr", {2, &fastInstr}}};
    for (const auto& [name, signature] : functions) {
        if (sqlite3_create_function_v2(database, name, signature.first, flags, nullptr,
                                       signature.second, nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
    }
    return true;
}

QList<Span> matchedSpans(QStringView text, QStringView search) {
    // Through UTF-8 as the store does it (a lone surrogate becomes "?" there too).
    const QByteArray needle = foldedUtf8(search.trimmed().toUtf8());
    if (needle.isEmpty() || text.isEmpty()) {
        return {};
    }
    // The folded text, and for each of its bytes the character it came from.
    std::string folded;
    std::vector<qsizetype> origin;
    std::vector<qsizetype> starts;
    folded.reserve(size_t(text.size()));
    origin.reserve(size_t(text.size()));
    starts.reserve(size_t(text.size()) + 1);
    for (qsizetype i = 0; i < text.size();) {
        char32_t code = text[i].unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(code) && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            code = QChar::surrogateToUcs4(text[i], text[i + 1]);
            units = 2;
        } else if (QChar::isSurrogate(code)) {
            code = u'?';
        }
        const std::string_view piece = foldedCodePoint(code);
        folded += piece;
        origin.insert(origin.end(), piece.size(), qsizetype(starts.size()));
        starts.push_back(i);
        i += units;
    }
    starts.push_back(text.size());

    QList<Span> spans;
    const std::string_view haystack(folded);
    const std::string_view wanted(needle.constData(), size_t(needle.size()));
    for (size_t at = haystack.find(wanted); at != std::string_view::npos;
         at = haystack.find(wanted, at + wanted.size())) {
        const qsizetype start = starts[size_t(origin[at])];
        const qsizetype end = starts[size_t(origin[at + wanted.size() - 1]) + 1];
        spans.append({start, end - start});
    }
    if (spans.isEmpty()) {
        return spans;
    }
    // Never part of a character: "e" in "e\u0301" takes its accent along.
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text.data(), text.size());
    QList<Span> whole;
    for (const Span& span : spans) {
        qsizetype start = span.start;
        qsizetype end = span.start + span.length;
        graphemes.setPosition(start);
        if (!graphemes.isAtBoundary()) {
            start = graphemes.toPreviousBoundary();
        }
        graphemes.setPosition(end);
        if (!graphemes.isAtBoundary()) {
            end = graphemes.toNextBoundary();
        }
        if (!whole.isEmpty() && start <= whole.last().start + whole.last().length) {
            whole.last().length =
                std::max(end, whole.last().start + whole.last().length) - whole.last().start;
        } else {
            whole.append({start, end - start});
        }
    }
    return whole;
}

}  // namespace TextFolding

}  // namespace orv
