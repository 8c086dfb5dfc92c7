#pragma once

#include <QColor>
#include <QIcon>

#include <optional>

namespace orv {

// The tray icon's picture, which must show on light and dark panels alike: drawn in the colour the
// panel asks for, else the theme's symbolic icon (panels that follow a colour scheme recolour it),
// else drawn in the text colour of the desktop's palette.
namespace StatusIcon {

QIcon choose(const std::optional<QColor>& panelColor, const QIcon& themed, const QColor& text);

// The same with what this desktop offers.
QIcon forDesktop();

// The icon faded, with a pause sign over its corner: capture is paused.
QIcon paused(const QIcon& icon, const QColor& sign);

}  // namespace StatusIcon

}  // namespace orv
