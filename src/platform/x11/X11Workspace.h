#pragma once

#include "platform/Workspace.h"

namespace orv {

// The active window from EWMH (_NET_ACTIVE_WINDOW), or the input focus when no window manager
// runs; its WM_CLASS names the application and _NET_WM_PID its process. Without an X11 session
// there is never a frontmost application.
class X11Workspace : public Workspace {
public:
    std::optional<RunningApplication> frontmostApplication() const override;
    // _NET_ACTIVE_WINDOW to the remembered window (as a pager would ask), else raise and focus it.
    bool activate(const RunningApplication& application) override;
    // PropertyNotify of _NET_ACTIVE_WINDOW on the root window, as Qt's connection reads it.
    std::unique_ptr<Watch> watchActivation(std::function<void()> changed) override;
};

}  // namespace orv
