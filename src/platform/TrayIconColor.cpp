#include "platform/TrayIconColor.h"

#include <QByteArray>

// Xlib's macros clash with Qt's names: after Qt.
#include "platform/X11Display.h"
#include "platform/X11ErrorTrap.h"

#include <X11/Xatom.h>

namespace TrayIconColor {

std::optional<QColor> fromPanel() {
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

}  // namespace TrayIconColor
