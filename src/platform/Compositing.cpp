#include "platform/Compositing.h"

#include <QByteArray>

#include "platform/X11Display.h"

namespace Compositing {

bool isActive() {
    Display* display = X11Display::get();
    if (display == nullptr) {
        return true;
    }
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.constData(), False);
    return XGetSelectionOwner(display, selection) != 0;
}

}  // namespace Compositing
