#pragma once

#include <QColor>
#include <QString>

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
// The name the window manager gives itself (_NET_WM_NAME of its _NET_SUPPORTING_WM_CHECK window).
std::optional<QString> windowManagerName();
// Weston's window manager gives the keyboard only to windows its shell maps as toplevels of their
// own (never to utility windows) and ignores _NET_ACTIVE_WINDOW requests.
bool focusesOnlyToplevels();
// _NET_WM_WINDOW_TYPE_NORMAL alone, before the window is mapped.
void setNormalWindowType(QWindow* window);
// Asks the window manager to give the window the keyboard: _NET_ACTIVE_WINDOW as the user's own
// request (source 2), stamped with the server's time of now. False when it could not be sent.
bool requestActivation(QWindow* window);
// The window that has the X keyboard focus; nothing outside X11.
std::optional<unsigned long> inputFocus();

}  // namespace X11Desktop

}  // namespace orv
