#pragma once

#include <QByteArray>
#include <QStringList>

namespace orv {

// The two ways Linux desktops put files on the clipboard: "text/uri-list" (RFC 2483: one URI a
// line, CRLF or LF, "#" comment lines) and "x-special/gnome-copied-files" ("copy" or "cut", then
// one URI a line; Caja calls it "x-special/mate-copied-files"). Lists may end with a NUL.
namespace FileUrlList {

// The local paths of the file URLs in the list, percent-decoded, in order; other URLs are left out.
QStringList pathsFromUriList(const QByteArray& list);
QStringList pathsFromGnomeCopiedFiles(const QByteArray& list);

QByteArray uriList(const QStringList& paths);
// "copy", a line feed, then one URI a line, without a line feed at the end.
QByteArray gnomeCopiedFiles(const QStringList& paths);

}  // namespace FileUrlList

}  // namespace orv
