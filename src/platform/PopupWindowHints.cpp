#include "platform/PopupWindowHints.h"

#include <QList>
#include <QWindow>

// Xlib's macros clash with Qt's names: after Qt.
#include "platform/X11Display.h"
#include "platform/X11ErrorTrap.h"

#include <X11/Xatom.h>

namespace PopupWindowHints {

void apply(QWindow* window) {
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

}  // namespace PopupWindowHints
