#pragma once

#include <X11/Xlib.h>

namespace orv {

// Catches the X errors of the requests made while it lives (windows that vanished, grabs that
// another client holds) instead of letting Xlib end the process. Main thread only.
class X11ErrorTrap {
public:
    explicit X11ErrorTrap(Display* display);
    ~X11ErrorTrap();
    X11ErrorTrap(const X11ErrorTrap&) = delete;
    X11ErrorTrap& operator=(const X11ErrorTrap&) = delete;

    // Waits for the server to answer everything sent so far; the first error code, or 0.
    int sync();

private:
    static int handler(Display* display, XErrorEvent* event);

    Display* m_display;
    int (*m_previous)(Display*, XErrorEvent*);
    int m_outerError;
};

}  // namespace orv
