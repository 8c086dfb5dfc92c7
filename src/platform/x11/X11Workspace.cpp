#include "platform/x11/X11Workspace.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QWindow>

#include <unistd.h>

#include "platform/x11/X11Display.h"
#include "platform/x11/X11ErrorTrap.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <xcb/xproto.h>

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

// The window manager sets _NET_ACTIVE_WINDOW on the root window when it has moved the focus.
class ActiveWindowWatch : public Workspace::Watch, public QAbstractNativeEventFilter {
public:
    ActiveWindowWatch(Display* display, std::function<void()> changed)
        : m_changed(std::move(changed)),
          m_root(DefaultRootWindow(display)),
          m_property(XInternAtom(display, "_NET_ACTIVE_WINDOW", False)) {
        // Qt listens to the root's properties already; this keeps whatever else it selected.
        X11ErrorTrap trap(display);
        XWindowAttributes attributes;
        if (XGetWindowAttributes(display, m_root, &attributes) != 0 &&
            (attributes.your_event_mask & PropertyChangeMask) == 0) {
            XSelectInput(display, m_root, attributes.your_event_mask | PropertyChangeMask);
            XFlush(display);
        }
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~ActiveWindowWatch() override {
        if (QCoreApplication::instance() != nullptr) {
            QCoreApplication::instance()->removeNativeEventFilter(this);
        }
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t") {
            return false;
        }
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY) {
            const auto* notify = static_cast<const xcb_property_notify_event_t*>(message);
            if (notify->window == m_root && notify->atom == m_property) {
                m_changed();
            }
        }
        return false;
    }

private:
    std::function<void()> m_changed;
    Window m_root;
    Atom m_property;
};

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

std::unique_ptr<Workspace::Watch> X11Workspace::watchActivation(std::function<void()> changed) {
    Display* display = X11Display::get();
    if (display == nullptr || QCoreApplication::instance() == nullptr) {
        return nullptr;
    }
    return std::make_unique<ActiveWindowWatch>(display, std::move(changed));
}

}  // namespace orv
