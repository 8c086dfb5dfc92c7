#pragma once

#include <QColor>

#include <optional>

namespace orv {

// The colour the system tray asks its icons to be drawn in (_NET_SYSTEM_TRAY_COLORS, set by panels
// that follow a colour scheme); none when the tray says nothing or there is no tray.
namespace TrayIconColor {
std::optional<QColor> fromPanel();
}

}  // namespace orv
