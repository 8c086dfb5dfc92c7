#include "platform/x11/X11Desktop.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QList>
#include <QWindow>

#include <algorithm>

#include <cstdlib>
#include <memory>

#include <poll.h>
#include <xcb/xcb.h>

// Xlib's macros clash with Qt's names: after Qt.
#include "platform/x11/X11Display.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11SystemTray.h"

#include <X11/Xatom.h>

namespace orv {

namespace {

// The server's time of now: what a property change on a window of our own is stamped with. Read
// on a connection of its own, as Qt's takes every event of its connection.
std::optional<xcb_timestamp_t> serverTime(xcb_connection_t* c, xcb_window_t root) {
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, 0, window, root, 0, 0, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0,
                        nullptr);
    xcb_flush(c);
    std::optional<xcb_timestamp_t> time;
    const QDeadlineTimer deadline(1000);
    while (!time && xcb_connection_has_error(c) == 0 && !deadline.hasExpired()) {
        if (std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event{xcb_poll_for_event(c),
                                                                             &std::free}) {
            if ((event->response_type & 0x7F) == XCB_PROPERTY_NOTIFY) {
                time = reinterpret_cast<xcb_property_notify_event_t*>(event.get())->time;
            }
            continue;
        }
        pollfd descriptor{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&descriptor, 1, int(std::max<qint64>(deadline.remainingTime(), 0)));
    }
    xcb_destroy_window(c, window);
    xcb_flush(c);
    return time;
}

xcb_atom_t internAtom(xcb_connection_t* c, const char* name) {
    std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(qstrlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : XCB_NONE;
}

// The name the window manager gives itself (_NET_WM_NAME of its _NET_SUPPORTING_WM_CHECK window).
std::optional<QString> windowManagerName() {
    Display* display = X11Display::get();
    if (display == nullptr) {
        return std::nullopt;
    }
    X11ErrorTrap trap(display);
    const auto property = [&](Window window, const char* name, Atom type, long length) {
        Atom actualType = None;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        QByteArray value;
        if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, length, False,
                               type, &actualType, &format, &count, &remaining, &data) == Success &&
            data != nullptr) {
            value = QByteArray(reinterpret_cast<const char*>(data),
                               format == 32 ? qsizetype(count * sizeof(long)) : qsizetype(count));
        }
        if (data != nullptr) {
            XFree(data);
        }
        return value;
    };
    const QByteArray check =
        property(DefaultRootWindow(display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW, 1);
    if (check.size() != sizeof(long)) {
        return std::nullopt;
    }
    const auto window = Window(*reinterpret_cast<const long*>(check.constData()));
    const QByteArray name =
        property(window, "_NET_WM_NAME", XInternAtom(display, "UTF8_STRING", False), 256);
    if (trap.sync() != 0 || name.isEmpty()) {
        return std::nullopt;
    }
    return QString::fromUtf8(name);
}

}  // namespace

bool X11Desktop::compositing() const {
    Display* display = X11Display::get();
    if (display == nullptr) {
        return true;
    }
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.constData(), False);
    return XGetSelectionOwner(display, selection) != 0;
}

std::optional<QColor> X11Desktop::trayIconColor() const {
    Display* display = X11Display::get();
    if (display == nullptr) {
        return std::nullopt;
    }
    X11ErrorTrap trap(display);
    const QByteArray selection = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(display));
    const Window tray = XGetSelectionOwner(display, XInternAtom(display, selection, False));
    if (tray == None) {
        return std::nullopt;
    }
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status =
        XGetWindowProperty(display, tray, XInternAtom(display, "_NET_SYSTEM_TRAY_COLORS", False), 0,
                           12, False, XA_CARDINAL, &type, &format, &count, &remaining, &data);
    std::optional<QColor> color;
    // Twelve 16-bit components: normal, error, warning and success colours; the first is ours.
    if (status == Success && data != nullptr && format == 32 && count >= 3) {
        const auto* values = reinterpret_cast<const unsigned long*>(data);
        color = QColor::fromRgba64(quint16(values[0]), quint16(values[1]), quint16(values[2]));
    }
    if (data != nullptr) {
        XFree(data);
    }
    if (trap.sync() != 0) {
        return std::nullopt;  // the tray went away while we looked
    }
    return color;
}

bool X11Desktop::watchTray(QObject* owner, const std::function<void()>& started) {
    auto* tray = new X11SystemTray(owner);
    QObject::connect(tray, &X11SystemTray::started, owner, started);
    return tray->present();
}

void X11Desktop::applyPopupHints(QWindow* window) {
    Display* display = X11Display::get();
    if (display == nullptr || window == nullptr) {
        return;
    }
    const auto id = Window(window->winId());
    X11ErrorTrap trap(display);
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    QList<Atom> atoms;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, id, state, 0, 64, False, XA_ATOM, &type, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr && format == 32) {
        const auto* values = reinterpret_cast<const Atom*>(data);
        atoms = QList<Atom>(values, values + count);
    }
    if (data != nullptr) {
        XFree(data);
    }
    // Kept: Qt adds its own states (above) to what it finds here when it maps the window.
    for (const char* name : {"_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"}) {
        const Atom atom = XInternAtom(display, name, False);
        if (!atoms.contains(atom)) {
            atoms.append(atom);
        }
    }
    XChangeProperty(display, id, state, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(atoms.constData()), int(atoms.size()));
    trap.sync();
}

void X11Desktop::applyKeyboardPopupHints(QWindow* window) {
    applyPopupHints(window);
    Display* display = X11Display::get();
    if (display == nullptr || window == nullptr ||
        windowManagerName() != QStringLiteral("Weston WM")) {
        return;
    }
    X11ErrorTrap trap(display);
    const Atom normal = XInternAtom(display, "_NET_WM_WINDOW_TYPE_NORMAL", False);
    XChangeProperty(display, Window(window->winId()),
                    XInternAtom(display, "_NET_WM_WINDOW_TYPE", False), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&normal), 1);
    trap.sync();
}

bool X11Desktop::requestKeyboard(QWindow* window) {
    Display* display = X11Display::get();
    if (display == nullptr || window == nullptr) {
        return false;
    }
    int screen = 0;
    std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(
        xcb_connect(DisplayString(display), &screen), &xcb_disconnect);
    xcb_connection_t* c = connection.get();
    if (xcb_connection_has_error(c) != 0) {
        return false;
    }
    xcb_screen_iterator_t roots = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screen && roots.rem > 0; ++i) {
        xcb_screen_next(&roots);
    }
    if (roots.rem == 0) {
        return false;
    }
    const xcb_window_t root = roots.data->root;
    const auto time = serverTime(c, root);
    if (!time) {
        return false;
    }
    const xcb_atom_t active = internAtom(c, "_NET_ACTIVE_WINDOW");
    std::unique_ptr<xcb_get_property_reply_t, decltype(&std::free)> current(
        xcb_get_property_reply(c, xcb_get_property(c, 0, root, active, XCB_ATOM_WINDOW, 0, 1),
                               nullptr),
        &std::free);
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = xcb_window_t(window->winId());
    message.type = active;
    message.data.data32[0] = 2;
    message.data.data32[1] = *time;
    if (current && xcb_get_property_value_length(current.get()) == 4) {
        message.data.data32[2] =
            *static_cast<const uint32_t*>(xcb_get_property_value(current.get()));
    }
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    // The request has reached the server once it answers the next one.
    std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    return xcb_connection_has_error(c) == 0;
}

bool X11Desktop::ownWindowHasKeyboard() const {
    Display* display = X11Display::get();
    if (display == nullptr) {
        return DesktopHints::ownWindowHasKeyboard();
    }
    Window focus = None;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.cbegin(), windows.cend(), [&](QWindow* window) {
        return window->handle() != nullptr && window->isVisible() && window->winId() == focus;
    });
}

}  // namespace orv
