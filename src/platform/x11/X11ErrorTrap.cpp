#include "platform/x11/X11ErrorTrap.h"

namespace orv {

namespace {
int g_firstError = 0;
}

X11ErrorTrap::X11ErrorTrap(Display* display)
    : m_display(display), m_previous(nullptr), m_outerError(g_firstError) {
    XSync(m_display, False);
    g_firstError = 0;
    m_previous = XSetErrorHandler(&X11ErrorTrap::handler);
}

X11ErrorTrap::~X11ErrorTrap() {
    XSync(m_display, False);
    XSetErrorHandler(m_previous);
    g_firstError = m_outerError;
}

int X11ErrorTrap::sync() {
    XSync(m_display, False);
    return g_firstError;
}

int X11ErrorTrap::handler(Display*, XErrorEvent* event) {
    if (g_firstError == 0) {
        g_firstError = event->error_code;
    }
    return 0;
}

}  // namespace orv
