#pragma once

namespace orv {

// Whether a compositing manager runs (someone owns _NET_WM_CM_S0). Without one, translucent
// windows show black corners, so round windows are drawn opaque and shaped by a mask instead.
// True outside X11, where compositing is the norm.
namespace Compositing {
bool isActive();
}

}  // namespace orv
