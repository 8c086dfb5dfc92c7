#pragma once

#include <QByteArray>
#include <QRgba64>
#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

// The clipboard types the program reads and writes, by their MIME names.
namespace MimeTypes {

inline const QString plainText = QStringLiteral("text/plain");
inline const QString plainUtf8Text = QStringLiteral("text/plain;charset=utf-8");
inline const QString html = QStringLiteral("text/html");
inline const QString png = QStringLiteral("image/png");
inline const QString tiff = QStringLiteral("image/tiff");
// Four host-order 16-bit values: red, green, blue, alpha (what Qt's colour MIME data is).
inline const QString color = QStringLiteral("application/x-color");
// RFC 2483: one URI a line, CRLF or LF, "#" comment lines.
inline const QString uriList = QStringLiteral("text/uri-list");
// "copy" or "cut", a line feed, then one URI a line.
inline const QString gnomeCopiedFiles = QStringLiteral("x-special/gnome-copied-files");
// The same, as Caja (MATE) writes and reads it.
inline const QString mateCopiedFiles = QStringLiteral("x-special/mate-copied-files");
// What Linux password managers add beside a secret; its presence counts, whatever its value.
inline const QString passwordManagerHint = QStringLiteral("x-kde-passwordManagerHint");

// Every type a clipboard read looks at.
inline const QStringList readable{
    plainText,       plainUtf8Text,      html, png, tiff, color, uriList, gnomeCopiedFiles,
    mateCopiedFiles, passwordManagerHint};

QByteArray encodeColor(const QRgba64& rgba);
// Nothing when the bytes are too few.
std::optional<QRgba64> decodeColor(const QByteArray& bytes);

}  // namespace MimeTypes

}  // namespace orv
