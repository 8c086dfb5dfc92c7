#include "platform/x11/X11Workspace.h"

#include <QGuiApplication>
#include <QWindow>

#include <unistd.h>

#include "platform/x11/X11Display.h"
#include "platform/x11/X11ErrorTrap.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace orv {

namespace {

// The first value of a 32-bit property; nothing when the window lacks it.
std::optional<unsigned long> cardinalProperty(Display* display, Window window, const char* name,
                                              Atom type) {
    Atom actualType = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const Atom property = XInternAtom(display, name, False);
    const int status = XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType,
                                          &format, &count, &remaining, &data);
    std::optional<unsigned long> value;
    if (status == Success && data != nullptr && format == 32 && count == 1) {
        value = reinterpret_cast<unsigned long*>(data)[0];
    }
    if (data != nullptr) {
        XFree(data);
    }
    return value;
}

// The focused window may be a child of the application's top-level window; the class hint sits on
// the top-level one.
std::optional<Window> withClassHint(Display* display, Window window, XClassHint* hint) {
    for (int depth = 0; window != 0 && depth < 32; ++depth) {
        if (XGetClassHint(display, window, hint) != 0) {
            return window;
        }
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, window, &root, &parent, &children, &count) == 0) {
            return std::nullopt;
        }
        if (children != nullptr) {
            XFree(children);
        }
        if (parent == root) {
            return std::nullopt;
        }
        window = parent;
    }
    return std::nullopt;
}

bool isOwnWindow(quint64 window) {
    for (QWindow* own : QGuiApplication::allWindows()) {
        if (own->handle() != nullptr && own->winId() == window) {
            return true;
        }
    }
    return false;
}

std::optional<QString> nonEmpty(const char* text) {
    if (text == nullptr || *text == '\0') {
        return std::nullopt;
    }
    return QString::fromLocal8Bit(text);
}

}  // namespace

std::optional<RunningApplication> X11Workspace::frontmostApplication() const {
    Display* display = X11Display::get();
    if (display == nullptr) {
        return std::nullopt;
    }
    X11ErrorTrap trap(display);
    const Window root = DefaultRootWindow(display);
    Window active = 0;
    if (const auto ewmh = cardinalProperty(display, root, "_NET_ACTIVE_WINDOW", XA_WINDOW)) {
        active = *ewmh;
    } else {
        // No window manager: the input focus is all there is.
        int revert = 0;
        XGetInputFocus(display, &active, &revert);
        if (active == PointerRoot) {
            active = 0;
        }
    }
    if (active == 0) {
        return std::nullopt;
    }
    // Under XWayland the property can still name a window that was hidden when a native Wayland
    // window took the focus: no X11 window is in front then.
    XWindowAttributes attributes;
    if (XGetWindowAttributes(display, active, &attributes) != 0 &&
        attributes.map_state != IsViewable) {
        return std::nullopt;
    }

    RunningApplication application;
    application.window = active;
    XClassHint hint{nullptr, nullptr};
    if (const auto classed = withClassHint(display, active, &hint)) {
        application.window = *classed;
        application.bundleIdentifier = nonEmpty(hint.res_name);
        application.localizedName = nonEmpty(hint.res_class);
    }
    if (hint.res_name != nullptr) {
        XFree(hint.res_name);
    }
    if (hint.res_class != nullptr) {
        XFree(hint.res_class);
    }
    if (const auto pid =
            cardinalProperty(display, Window(application.window), "_NET_WM_PID", XA_CARDINAL)) {
        application.processId = qint64(*pid);
    }
    if (trap.sync() != 0 && !application.localizedName) {
        return std::nullopt;  // the window went away while we looked
    }
    if (application.processId == qint64(getpid()) || isOwnWindow(application.window) ||
        isOwnWindow(active)) {
        application.bundleIdentifier = ownBundleIdentifier;
    }
    return application;
}

bool X11Workspace::activate(const RunningApplication& application) {
    Display* display = X11Display::get();
    if (display == nullptr || application.window == 0) {
        return false;
    }
    X11ErrorTrap trap(display);
    const Window root = DefaultRootWindow(display);
    const auto window = Window(application.window);
    const auto active = cardinalProperty(display, root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
    if (active) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        event.xclient.data.l[0] = 2;  // from a pager: honoured without focus-stealing checks
        event.xclient.data.l[1] = CurrentTime;
        event.xclient.data.l[2] = long(*active);
        XSendEvent(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XRaiseWindow(display, window);
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
    }
    XFlush(display);
    return trap.sync() == 0;
}

}  // namespace orv
