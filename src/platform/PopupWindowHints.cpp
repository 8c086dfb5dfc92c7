#include "platform/PopupWindowHints.h"

#include "platform/x11/X11Desktop.h"

namespace orv {

namespace PopupWindowHints {

void apply(QWindow* window) {
    if (window != nullptr) {
        X11Desktop::applyPopupHints(window);
    }
}

}  // namespace PopupWindowHints

}  // namespace orv
