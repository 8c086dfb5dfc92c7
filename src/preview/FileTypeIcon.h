#pragma once

#include "store/Clip.h"

#include <QIcon>
#include <QString>
#include <QStringList>

namespace orv {

// The desktop's icon for a file, chosen by the extension of its path alone: the file is never
// opened or looked up, so a file that no longer exists still gets the icon of its type.
namespace FileTypeIcon {

// The text after the last dot of the last component, without the dot; empty when there is none.
QString extension(const QString& path);

// The icon-theme names tried for the path, best first; always ends with the generic data icon.
QStringList themeNames(const QString& path);

// The first of themeNames() the icon theme has, else a document picture of our own; never null.
QIcon image(const QString& path);

}  // namespace FileTypeIcon

}  // namespace orv
