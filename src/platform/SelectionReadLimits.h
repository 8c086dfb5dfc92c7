#pragma once

#include <QByteArrayView>
#include <QString>

#include <chrono>

namespace orv {

// What the history keeps: images up to this size, the first characters of texts and of HTML.
inline constexpr qsizetype maximumImageBytes = 20 * 1024 * 1024;
inline constexpr qsizetype maximumTextCharacters = 100'000;
inline constexpr qsizetype maximumHtmlCharacters = 200'000;

// How long and how much a read of the clipboard for the history may take, whatever the backend.
struct SelectionReadLimits {
    // An owner that sends nothing for this long ends the read with nothing.
    std::chrono::milliseconds answerTimeout{2000};
    // No read lasts longer, however slowly its owner sends.
    std::chrono::milliseconds readTimeout{10000};
    // An owner that lost the clipboard during the read, yet still runs, is waited for no longer.
    std::chrono::milliseconds replacedOwnerTimeout{1000};
    // One byte over the history's limit keeps its refusal without reading the rest.
    qsizetype imageBytes = maximumImageBytes + 1;
    // Texts are cut to their maximum anyway; sixteen bytes a character: UTF-8 needs at most 4 per
    // code point, and real text averages far fewer per character even in scripts of three-byte
    // letters or with flags and emoji of two code points; only long runs of joined emoji or stacked
    // accents are cut sooner (whole characters still). The cut part of a text is kept.
    qsizetype textBytes = maximumTextCharacters * 16;
    qsizetype htmlBytes = maximumHtmlCharacters * 16;
    // Anything else (lists of files, colours) past this is not kept at all.
    qsizetype otherBytes = 4 * 1024 * 1024;

    // How much of this type is read.
    qsizetype capFor(const QString& mimeType) const;
    // Past the cap, a text is still worth its first part; a list of files or a colour is not.
    static bool cutIsUsable(const QString& mimeType);
};

// Why bytes an owner offers as text are not text: a NUL inside them (the one that ends a C string
// is dropped before), or, where the target says UTF-8, bytes that are not UTF-8 (a character cut
// by the size limit of a truncated read is no fault). Null when they are text.
const char* whyNotText(QByteArrayView bytes, bool utf8, bool truncated);

}  // namespace orv
