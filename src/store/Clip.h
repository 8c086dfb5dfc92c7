#pragma once

#include "store/ClipKind.h"

#include <QDateTime>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

// The last component of a path, as file managers name it: trailing slashes are ignored and the
// root stays "/".
QString lastPathComponent(const QString& path);

// A count as Spanish writes it: from five digits on, groups of three split by a no-break space
// (4990, 49 990), so that a number never breaks across lines.
QString formatCount(qsizetype count);

// One history entry as the store returns it.
struct Clip {
    // What a list reads of a text's value: enough for its title, whatever the value's size.
    static constexpr qsizetype listedCharacters = 2048;

    qint64 id = 0;
    ClipKind kind = ClipKind::text;
    // The content key, unique over the whole history. Text: the text itself; image:
    // "image:<fnv1a base 36>:<w>x<h>:<bytes>"; color: "#RRGGBB" or "#RRGGBBAA"; files: absolute
    // paths joined with line feeds.
    QString value;
    // Only in clips read one by one; the list query never carries it.
    std::optional<QString> html;
    std::optional<QString> imagePath;
    std::optional<QString> source;
    QDateTime createdAt;
    bool pinned = false;
    // Set on a listed clip whose value is longer than listedCharacters: `value` holds only its
    // beginning, so whatever writes or shows the value reads the clip whole first.
    bool partial = false;

    // A text whose value is a hex colour code counts as a colour wherever clips are filtered,
    // titled, drawn or written; the stored kind stays as it is.
    ClipKind effectiveKind() const;
    // The one-line title of rows and the preview.
    QString listTitle() const;
    // The pixel size recorded in an image value; nothing when it was unknown (0x0).
    std::optional<QSize> pixelSize() const;
    // Every path of a files clip, in order. A clip may hold tens of thousands: what only shows a
    // few of them takes the first ones and the count instead.
    QStringList filePaths() const;
    QStringList filePaths(qsizetype limit) const;
    // How many paths filePaths() holds, without building them.
    qsizetype fileCount() const;

    bool operator==(const Clip&) const = default;
};

}  // namespace orv
