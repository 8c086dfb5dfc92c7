#include "platform/TrayIconColor.h"

#include "platform/x11/X11Desktop.h"

namespace orv {

namespace TrayIconColor {

std::optional<QColor> fromPanel() {
    return X11Desktop::trayIconColor();
}

}  // namespace TrayIconColor

}  // namespace orv
