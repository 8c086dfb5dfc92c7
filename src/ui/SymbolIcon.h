#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

namespace orv {

// The symbols the interface names ("magnifyingglass", "trash", "gearshape", …): the desktop's icon
// theme when it has a match, else a picture of our own drawn in the requested colour, so that a
// session without an icon theme still shows every symbol. "MenuIcon" is the program's own mark.
namespace SymbolIcon {

// The freedesktop icon name standing in for a symbol; empty for symbols without one.
QString themeName(const QString& symbol);

// The symbol at `side` × `side` device-independent pixels, tinted with `color` when drawn by us.
QPixmap pixmap(const QString& symbol, int side, const QColor& color);

// The same as an icon (for buttons and menus).
QIcon icon(const QString& symbol, const QColor& color);

// Our own picture only, ignoring the theme.
QPixmap fallback(const QString& symbol, int side, const QColor& color);

}  // namespace SymbolIcon

}  // namespace orv
