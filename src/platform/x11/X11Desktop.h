#pragma once

#include "platform/DesktopHints.h"

namespace orv {

// The hints of an X11 desktop: what its selections and root window properties say, and what its
// window manager takes.
class X11Desktop : public DesktopHints {
public:
    // Whether someone owns _NET_WM_CM_S<screen>.
    bool compositing() const override;
    // The tray's _NET_SYSTEM_TRAY_COLORS, its first colour.
    std::optional<QColor> trayIconColor() const override;
    // The owner of _NET_SYSTEM_TRAY_S<screen>, and its MANAGER message when one starts.
    bool watchTray(QObject* owner, const std::function<void()>& started) override;
    // _NET_WM_STATE_SKIP_TASKBAR and _SKIP_PAGER, kept beside what the window already has.
    void applyPopupHints(QWindow* window) override;
    // Weston's window manager gives the keyboard only to windows its shell maps as toplevels of
    // their own (never to utility windows) and ignores _NET_ACTIVE_WINDOW requests: there the
    // window is _NET_WM_WINDOW_TYPE_NORMAL alone, before it is mapped.
    void applyKeyboardPopupHints(QWindow* window) override;
    // _NET_ACTIVE_WINDOW as the user's own request (source 2), stamped with the server's time of
    // now. False when it could not be sent.
    bool requestKeyboard(QWindow* window) override;
    // The window that has the X keyboard focus is one of ours.
    bool ownWindowHasKeyboard() const override;
};

}  // namespace orv
