#pragma once

#include <QColor>

#include <optional>

class QWindow;

namespace orv {

// What the X11 desktop says about itself, and the hints its window manager takes. Nothing (or no
// effect) outside an X11 session.
namespace X11Desktop {

// Whether someone owns _NET_WM_CM_S<screen>.
std::optional<bool> compositingActive();
// The tray's _NET_SYSTEM_TRAY_COLORS, its first colour.
std::optional<QColor> trayIconColor();
// _NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER, kept beside what the window already has.
void applyPopupHints(QWindow* window);

}  // namespace X11Desktop

}  // namespace orv
