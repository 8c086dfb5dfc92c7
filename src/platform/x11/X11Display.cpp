#include <QGuiApplication>

#include "platform/x11/X11Display.h"

namespace orv {

namespace X11Display {

Display* get() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
}

}  // namespace X11Display

}  // namespace orv
