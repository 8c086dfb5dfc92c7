#include "store/TextFolding.h"

#include <QTextBoundaryFinder>

#include <sqlite3.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
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

#if defined(__SSE2__)
// Stores the 16 bytes at `in` to `out` with A to Z lower-cased, and returns a mask of the bytes
// that are not ASCII (bit n for byte n).
inline unsigned lowerAscii16(const unsigned char* in, unsigned char* out) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    // Moved so that 'A' is the smallest signed byte: then the capitals are the 26 smallest.
    const __m128i moved = _mm_add_epi8(bytes, _mm_set1_epi8(char(0x80 - 'A')));
    const __m128i capitals = _mm_cmplt_epi8(moved, _mm_set1_epi8(char(-128 + 26)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                     _mm_or_si128(bytes, _mm_and_si128(capitals, _mm_set1_epi8(0x20))));
    return unsigned(_mm_movemask_epi8(bytes));
}
#endif

// Lower-cases the ASCII at the start of `in` into `out` (A to Z; other bytes stay) and returns
// how many bytes that was, stopping at the first byte that is not ASCII. May write up to `length`
// bytes: the ones past the returned count are left for the caller to overwrite.
size_t foldAscii(const unsigned char* in, size_t length, unsigned char* out) {
    size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= length; i += 16) {
        if (const unsigned others = lowerAscii16(in + i, out + i); others != 0) {
            return i + size_t(std::countr_zero(others));
        }
    }
#endif
    static_assert(std::endian::native == std::endian::little, "the first byte is the lowest");
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    for (; i + 8 <= length; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, in + i, 8);
        const std::uint64_t high = word & kHighBits;
        // Per byte: high bit of the first sum when >= 'A', of the second when > 'Z'. Exact for
        // the ASCII bytes before the first other one, the only ones kept: carries go to later
        // bytes.
        const std::uint64_t atLeastA = word + 0x3F3F3F3F3F3F3F3Full;
        const std::uint64_t aboveZ = word + 0x2525252525252525ull;
        word |= (atLeastA & ~aboveZ & kHighBits) >> 2;
        std::memcpy(out + i, &word, 8);
        if (high != 0) {
            return i + size_t(std::countr_zero(high) / 8);
        }
    }
    for (; i < length && in[i] < 0x80; ++i) {
        out[i] = (in[i] >= 'A' && in[i] <= 'Z') ? static_cast<unsigned char>(in[i] + 32) : in[i];
    }
    return i;
}

// The folded form of the character that starts `in` with a byte that is not ASCII, and how many
// of the `length` bytes it takes. A byte that does not start valid UTF-8 stands for itself.
std::pair<std::string_view, size_t> foldCharacter(const unsigned char* in, size_t length) {
    const unsigned char c = in[0];
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
    bool valid = size > 0 && size <= length;
    for (size_t k = 1; valid && k < size; ++k) {
        valid = (in[k] & 0xC0) == 0x80;
        code = (code << 6) | (in[k] & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are not characters.
    if (!valid || code < smallest || code > kLastCodePoint || (code >= 0xD800 && code <= 0xDFFF)) {
        return {std::string_view(reinterpret_cast<const char*>(in), 1), 1};
    }
    return {foldedCodePoint(code), size};
}

// Folded forms of the two-byte characters (U+0080 to U+07FF: accented Latin, Greek, Cyrillic),
// the most common ones past ASCII, by code point: no block to find, one four-byte copy. Packed:
// up to three bytes, the first lowest, and their count in the top byte; kNoShortFold when longer.
using ShortFolds = std::array<std::uint32_t, 0x800>;
constexpr std::uint32_t kNoShortFold = ~std::uint32_t(0);

const ShortFolds& twoByteFolds() {
    static const auto folds = [] {
        ShortFolds made;
        made.fill(kNoShortFold);
        for (char32_t c = 0x80; c < 0x800; ++c) {
            const std::string_view folded = foldedCodePoint(c);
            if (folded.size() <= 3) {
                std::uint32_t packed = std::uint32_t(folded.size()) << 24;
                for (size_t k = 0; k < folded.size(); ++k) {
                    packed |= std::uint32_t(static_cast<unsigned char>(folded[k])) << (8 * k);
                }
                made[c] = packed;
            }
        }
        return made;
    }();
    return folds;
}

// The packed folded form of the valid two-byte character at `in` (lead byte not ASCII), or
// kNoShortFold for anything else.
inline std::uint32_t twoByteFold(const ShortFolds& folds, const unsigned char* in, size_t length) {
    // C0 and C1 would start overlong forms.
    if (in[0] < 0xC2 || in[0] >= 0xE0 || length < 2 || (in[1] & 0xC0) != 0x80) {
        return kNoShortFold;
    }
    return folds[((in[0] & 0x1F) << 6) | (in[1] & 0x3F)];
}

#if defined(__SSE2__)
// lowerAscii16() over 64 bytes.
inline std::uint64_t lowerAscii64(const unsigned char* in, unsigned char* out) {
    std::uint64_t others = 0;
    for (size_t k = 0; k < 64; k += 16) {
        others |= std::uint64_t(lowerAscii16(in + k, out + k)) << k;
    }
    return others;
}

// The common case, fast: ASCII with two-byte letters here and there, 64 bytes at a time. The
// letters are found from one mask of the group's bytes that are not ASCII, and after each the
// rest of the group is lower-cased again where it now goes: no branch on the length of the runs
// between them. Folds whole characters from in[i] to out[o] while input and room are ample,
// leaving the rest to the careful loop.
void foldGroups(const unsigned char* in, size_t length, size_t& iAt, unsigned char* out,
                size_t capacity, size_t& oAt, const ShortFolds& shortFolds) {
    constexpr size_t kGroup = 64;
    // After a character, which may end a few bytes past the group, 64 more bytes are read and
    // written; two-byte letters fold to 1.5 times their size at most. Hence the margins.
    constexpr size_t kAhead = 2 * kGroup + 16;
    constexpr size_t kRoom = 4 * kGroup;
    size_t i = iAt;
    size_t o = oAt;
    while (i + kAhead <= length && kRoom <= capacity - o) {
        std::uint64_t others = lowerAscii64(in + i, out + o);
        // The group's next byte to fold: out[o] on holds it and the rest of the group.
        size_t next = 0;
        bool full = false;
        while (others != 0) {
            const auto at = size_t(std::countr_zero(others));
            o += at - next;
            if (const auto fold = twoByteFold(shortFolds, in + i + at, kAhead);
                fold != kNoShortFold) {
                std::memcpy(out + o, &fold, sizeof fold);
                o += fold >> 24;
                next = at + 2;
                // Its two bytes are the lowest two in the mask.
                others &= others - 1;
                others &= others - 1;
            } else {
                const auto [folded, size] = foldCharacter(in + i + at, length - i - at);
                if (folded.size() + kRoom > capacity - o) {
                    i += at;
                    full = true;
                    break;
                }
                std::memcpy(out + o, folded.data(), folded.size());
                o += folded.size();
                next = at + size;
                // A character may end past the group: the next group starts after it.
                others = next < kGroup ? others & (~std::uint64_t(0) << next) : 0;
            }
            lowerAscii64(in + i + next, out + o);
        }
        if (full) {
            break;
        }
        if (next < kGroup) {
            o += kGroup - next;
            next = kGroup;
        }
        i += next;
    }
    iAt = i;
    oAt = o;
}
#endif

// Folds whole characters from in[i] into out[o] up to `capacity`, moving both on, until the input
// ends (then 0) or the next character's folded form has no room left (then the room it needs).
// Bytes that are not valid UTF-8 pass unchanged. Search text and stored values both go through
// here.
size_t foldInto(const unsigned char* in, size_t length, size_t& iAt, unsigned char* out,
                size_t capacity, size_t& oAt) {
    const auto& shortFolds = twoByteFolds();
    // Copies, not references, so that writing `out` does not make the compiler reload them.
    size_t i = iAt;
    size_t o = oAt;
#if defined(__SSE2__)
    foldGroups(in, length, i, out, capacity, o, shortFolds);
#endif
    size_t room = 0;
    while (i < length) {
        const size_t ascii = foldAscii(in + i, std::min(length - i, capacity - o), out + o);
        i += ascii;
        o += ascii;
        if (i >= length) {
            break;
        }
        if (in[i] < 0x80) {
            room = 1;
            break;
        }
        std::string_view folded;
        size_t size = 2;
        std::array<char, 4> packed;
        if (const auto fold = twoByteFold(shortFolds, in + i, length - i); fold != kNoShortFold) {
            std::memcpy(packed.data(), &fold, sizeof fold);
            folded = {packed.data(), fold >> 24};
        } else {
            std::tie(folded, size) = foldCharacter(in + i, length - i);
        }
        if (folded.size() > capacity - o) {
            room = folded.size();
            break;
        }
        std::memcpy(out + o, folded.data(), folded.size());
        o += folded.size();
        i += size;
    }
    iAt = i;
    oAt = o;
    return room;
}

// Where folded text goes: room for `capacity` bytes at `data`; `grow` makes room for at least
// the given count (moving `data`), false when memory runs out.
struct Output {
    unsigned char* data = nullptr;
    size_t capacity = 0;
    bool (*grow)(Output&, size_t) = nullptr;
    void* owner = nullptr;
};

// Folds UTF-8 text into `out`, best started with room for the input (ASCII, the common case,
// takes one byte for one). Returns the bytes written, or nothing when memory ran out.
std::optional<size_t> foldUtf8(const unsigned char* in, size_t length, Output& out) {
    size_t i = 0;
    size_t o = 0;
    while (const size_t room = foldInto(in, length, i, out.data, out.capacity, o)) {
        if (!out.grow(out, o + room + (length - i))) {
            return std::nullopt;
        }
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

QByteArray foldedUtf8(QByteArrayView utf8) {
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

// contains_folded(value, needle): instr(lower(value), needle) > 0 for a needle already folded,
// without folding all of a long value first. NULL when either side is NULL.
void containsFoldedSql(sqlite3_context* context, int, sqlite3_value** arguments) {
    if (sqlite3_value_type(arguments[0]) == SQLITE_NULL ||
        sqlite3_value_type(arguments[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(arguments[0]));
    const auto textSize = sqlite3_value_bytes(arguments[0]);
    const auto* needle = reinterpret_cast<const char*>(sqlite3_value_text(arguments[1]));
    const auto needleSize = sqlite3_value_bytes(arguments[1]);
    // Where lower() or instr() would fail too.
    if (text == nullptr || (needle == nullptr && needleSize > 0)) {
        sqlite3_result_error_nomem(context);
        return;
    }
    try {
        const bool contains = TextFolding::containsFolded({text, textSize}, {needle, needleSize});
        sqlite3_result_int(context, contains ? 1 : 0);
    } catch (const std::bad_alloc&) {
        // A needle longer than the pieces needs a buffer of its own.
        sqlite3_result_error_nomem(context);
    }
}

// Whether `needle` occurs in `data`. glibc's memmem goes a byte at a time for the short needles
// typed first; here the places where both the needle's first and last bytes stand are found
// sixteen at a time and only those compared.
bool holds(const unsigned char* data, size_t size, const unsigned char* needle, size_t needleSize) {
    if (needleSize > size) {
        return false;
    }
#if defined(__SSE2__)
    if (needleSize == 1) {
        return std::memchr(data, needle[0], size) != nullptr;
    }
    const __m128i first = _mm_set1_epi8(static_cast<char>(needle[0]));
    const __m128i last = _mm_set1_epi8(static_cast<char>(needle[needleSize - 1]));
    size_t i = 0;
    for (; i + needleSize + 15 <= size; i += 16) {
        const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i ends =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + needleSize - 1));
        auto candidates = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_and_si128(_mm_cmpeq_epi8(starts, first), _mm_cmpeq_epi8(ends, last))));
        while (candidates != 0) {
            const auto at = i + size_t(std::countr_zero(candidates));
            if (std::memcmp(data + at + 1, needle + 1, needleSize - 2) == 0) {
                return true;
            }
            candidates &= candidates - 1;
        }
    }
    return memmem(data + i, size - i, needle, needleSize) != nullptr;
#else
    return memmem(data, size, needle, needleSize) != nullptr;
#endif
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
        {"lower", {1, &foldedLower}},
        {"instr", {2, &fastInstr}},
        {"contains_folded", {2, &containsFoldedSql}}};
    for (const auto& [name, signature] : functions) {
        if (sqlite3_create_function_v2(database, name, signature.first, flags, nullptr,
                                       signature.second, nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
    }
    return true;
}

QByteArray folded(QByteArrayView utf8) {
    return foldedUtf8(utf8);
}

bool holdsFolded(QByteArrayView foldedText, QByteArrayView foldedNeedle) {
    return foldedNeedle.isEmpty() ||
           holds(reinterpret_cast<const unsigned char*>(foldedText.data()),
                 size_t(foldedText.size()),
                 reinterpret_cast<const unsigned char*>(foldedNeedle.data()),
                 size_t(foldedNeedle.size()));
}

namespace {

size_t pairBucket(unsigned char first, unsigned char second) {
    return ((size_t(first) * 31) ^ (size_t(second) * 131)) & 4095;
}

// Folds `utf8` a piece at a time into `buffer`, each piece after the last `overlap` bytes of the
// one before; `piece(size)` looks at the folded bytes and ends it by returning true. Whether one
// did.
template <typename Piece>
bool foldedInPieces(QByteArrayView utf8, unsigned char* buffer, size_t capacity, size_t overlap,
                    const Piece& piece) {
    const auto* in = reinterpret_cast<const unsigned char*>(utf8.data());
    const auto length = size_t(utf8.size());
    size_t i = 0;
    size_t kept = 0;
    while (i < length) {
        size_t o = kept;
        // Stops at a whole character: the next piece starts where one does.
        foldInto(in, length, i, buffer, capacity, o);
        if (piece(o)) {
            return true;
        }
        kept = std::min(o, overlap);
        std::memmove(buffer, buffer + o - kept, kept);
    }
    return false;
}

}  // namespace

PairSignature pairSignature(QByteArrayView utf8) {
    PairSignature signature;
    std::array<unsigned char, 16 * 1024> buffer;
    // The last byte of a piece pairs with the first of the next.
    foldedInPieces(utf8, buffer.data(), buffer.size(), 1, [&](size_t size) {
        for (size_t k = 1; k < size; ++k) {
            const size_t bucket = pairBucket(buffer[k - 1], buffer[k]);
            signature.bits[bucket / 64] |= quint64(1) << (bucket % 64);
        }
        return false;
    });
    return signature;
}

bool mayHold(const PairSignature& signature, QByteArrayView foldedNeedle) {
    const auto* needle = reinterpret_cast<const unsigned char*>(foldedNeedle.data());
    for (qsizetype k = 1; k < foldedNeedle.size(); ++k) {
        const size_t bucket = pairBucket(needle[k - 1], needle[k]);
        if ((signature.bits[bucket / 64] & (quint64(1) << (bucket % 64))) == 0) {
            return false;
        }
    }
    return true;
}

bool containsFolded(QByteArrayView utf8, QByteArrayView foldedNeedle) {
    const auto needleSize = size_t(foldedNeedle.size());
    if (needleSize == 0) {
        return true;
    }
    // Folded a piece at a time into a buffer small enough to stay in the cache, each piece after
    // the last bytes of the one before, where a match may start.
    constexpr size_t kPiece = 16 * 1024;
    const size_t capacity = needleSize - 1 + kPiece;
    std::array<unsigned char, 2 * kPiece> local;
    std::unique_ptr<unsigned char[]> large;
    unsigned char* buffer = local.data();
    if (capacity > local.size()) {
        large = std::make_unique_for_overwrite<unsigned char[]>(capacity);
        buffer = large.get();
    }
    return foldedInPieces(utf8, buffer, capacity, needleSize - 1, [&](size_t size) {
        return holds(buffer, size, reinterpret_cast<const unsigned char*>(foldedNeedle.data()),
                     needleSize);
    });
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
