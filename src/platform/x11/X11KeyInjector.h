#pragma once

#include "platform/KeyInjector.h"

namespace orv {

class Workspace;

// Synthetic key events through the XTest extension.
class X11KeyInjector : public KeyInjector {
public:
    // In a Wayland session XTest reaches only XWayland windows: given the X11 view of the
    // windows, keys are posted only while an X11 window is active, and refused otherwise.
    explicit X11KeyInjector(const Workspace* xwaylandWindows = nullptr)
        : m_xwaylandWindows(xwaylandWindows) {}

    bool tap(QKeyCombination key) override;

private:
    const Workspace* m_xwaylandWindows;
};

}  // namespace orv
