#include "platform/x11/X11Desktop.h"

#include <QByteArray>
#include <QList>
#include <QWindow>

// Xlib's macros clash with Qt's names: after Qt.
#include "platform/x11/X11Display.h"
#include "platform/x11/X11ErrorTrap.h"

#include <X11/Xatom.h>

namespace orv {

namespace X11Desktop {

std::optional<bool> compositingActive() {
    Display* display = X11Display::get();
    if (display == nullptr) {
        return std::nullopt;
    }
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.constData(), False);
    return XGetSelectionOwner(display, selection) != 0;
}

std::optional<QColor> trayIconColor() {
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

void applyPopupHints(QWindow* window) {
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

}  // namespace X11Desktop

}  // namespace orv
