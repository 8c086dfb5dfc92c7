#include "platform/PopupWindowHints.h"

#include "platform/x11/X11Desktop.h"

namespace orv {

namespace PopupWindowHints {

void apply(QWindow* window) {
    if (window != nullptr) {
        X11Desktop::applyPopupHints(window);
    }
}

void applyTakingKeyboard(QWindow* window) {
    apply(window);
    if (window != nullptr && X11Desktop::focusesOnlyToplevels()) {
        X11Desktop::setNormalWindowType(window);
    }
}

bool requestKeyboard(QWindow* window) {
    return window != nullptr && X11Desktop::requestActivation(window);
}

}  // namespace PopupWindowHints

}  // namespace orv
