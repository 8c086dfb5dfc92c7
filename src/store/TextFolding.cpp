#include "store/TextFolding.h"

#include <sqlite3.h>

#include <cstdint>
#include <cstring>
#include <utility>

namespace orv {

namespace {

// Lower-cases UTF-8 text with Unicode's simple case mapping into `out`, which has room for twice
// the input (no character's lower-case form takes more than twice its bytes). Bytes that are not
// valid UTF-8 pass unchanged. Returns the bytes written. Search text and stored values both go
// through here, so "árbol" finds "ÁRBOL"; runs of ASCII, the common case, go eight bytes at a time.
size_t lowerUtf8(const unsigned char* in, size_t length, unsigned char* out) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ull;
    size_t i = 0;
    size_t o = 0;
    while (i < length) {
        while (i + 8 <= length) {
            std::uint64_t word;
            std::memcpy(&word, in + i, 8);
            if (word & kHighBits) {
                break;
            }
            // Per byte: high bit of the first sum when >= 'A', of the second when > 'Z'.
            const std::uint64_t atLeastA = word + 0x3F3F3F3F3F3F3F3Full;
            const std::uint64_t aboveZ = word + 0x2525252525252525ull;
            word |= (atLeastA & ~aboveZ & kHighBits) >> 2;
            std::memcpy(out + o, &word, 8);
            i += 8;
            o += 8;
        }
        if (i >= length) {
            break;
        }
        const unsigned char c = in[i];
        if (c < 0x80) {
            out[o++] = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
            ++i;
            continue;
        }
        size_t size = 0;
        char32_t code = 0;
        if ((c & 0xE0) == 0xC0) {
            size = 2;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            size = 3;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            size = 4;
            code = c & 0x07;
        }
        bool valid = size > 0 && i + size <= length;
        for (size_t k = 1; valid && k < size; ++k) {
            valid = (in[i + k] & 0xC0) == 0x80;
            code = (code << 6) | (in[i + k] & 0x3F);
        }
        if (!valid) {
            out[o++] = c;
            ++i;
            continue;
        }
        const char32_t lower = QChar::toLower(code);
        if (lower == code) {
            std::memcpy(out + o, in + i, size);
            o += size;
        } else if (lower < 0x800) {
            out[o++] = static_cast<unsigned char>(0xC0 | (lower >> 6));
            out[o++] = static_cast<unsigned char>(0x80 | (lower & 0x3F));
        } else if (lower < 0x10000) {
            out[o++] = static_cast<unsigned char>(0xE0 | (lower >> 12));
            out[o++] = static_cast<unsigned char>(0x80 | ((lower >> 6) & 0x3F));
            out[o++] = static_cast<unsigned char>(0x80 | (lower & 0x3F));
        } else {
            out[o++] = static_cast<unsigned char>(0xF0 | (lower >> 18));
            out[o++] = static_cast<unsigned char>(0x80 | ((lower >> 12) & 0x3F));
            out[o++] = static_cast<unsigned char>(0x80 | ((lower >> 6) & 0x3F));
            out[o++] = static_cast<unsigned char>(0x80 | (lower & 0x3F));
        }
        i += size;
    }
    return o;
}

// Takes the place of SQLite's lower(), which folds only A to Z, so the list statement stays as it
// is.
void unicodeLower(sqlite3_context* context, int, sqlite3_value** arguments) {
    sqlite3_value* argument = arguments[0];
    if (sqlite3_value_type(argument) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = sqlite3_value_text(argument);
    const auto length = size_t(sqlite3_value_bytes(argument));
    auto* lowered = static_cast<unsigned char*>(sqlite3_malloc64(length * 2 + 1));
    if (text == nullptr || lowered == nullptr) {
        sqlite3_free(lowered);
        sqlite3_result_error_nomem(context);
        return;
    }
    const size_t size = lowerUtf8(text, length, lowered);
    sqlite3_result_text64(context, reinterpret_cast<const char*>(lowered), size, sqlite3_free,
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
    const QByteArray utf8 = text.toUtf8();
    QByteArray lowered(utf8.size() * 2, Qt::Uninitialized);
    const size_t size =
        lowerUtf8(reinterpret_cast<const unsigned char*>(utf8.constData()), size_t(utf8.size()),
                  reinterpret_cast<unsigned char*>(lowered.data()));
    return QString::fromUtf8(lowered.constData(), qsizetype(size));
}

bool registerSqlFunctions(sqlite3* database) {
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    using Function = void (*)(sqlite3_context*, int, sqlite3_value**);
    const std::pair<const char*, std::pair<int, Function>> functions[] = {
        {"lower", {1, &unicodeLower}}, {"instr", {2, &fastInstr}}};
    for (const auto& [name, signature] : functions) {
        if (sqlite3_create_function_v2(database, name, signature.first, flags, nullptr,
                                       signature.second, nullptr, nullptr, nullptr) != SQLITE_OK) {
            return false;
        }
    }
    return true;
}

}  // namespace TextFolding

}  // namespace orv
