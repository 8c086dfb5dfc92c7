#include "platform/x11/X11AccessibilityTrust.h"

#include "platform/x11/X11Display.h"

#include <X11/extensions/XTest.h>

namespace orv {

bool X11AccessibilityTrust::isTrusted() const {
    Display* display = X11Display::get();
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    return display != nullptr &&
           XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor) != 0;
}

}  // namespace orv
