#pragma once

#include <X11/Xlib.h>

namespace orv {

// The application's own X connection (Qt's), or none outside an X11 session.
namespace X11Display {
Display* get();
}

}  // namespace orv
