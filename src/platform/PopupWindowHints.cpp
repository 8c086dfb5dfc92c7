#include "platform/PopupWindowHints.h"

#include "platform/x11/X11Desktop.h"

#include <QGuiApplication>
#include <QWindow>

#include <algorithm>

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

bool ownWindowHasKeyboard() {
    const auto focus = X11Desktop::inputFocus();
    if (!focus) {
        return QGuiApplication::focusWindow() != nullptr;
    }
    const QWindowList windows = QGuiApplication::topLevelWindows();
    return std::any_of(windows.cbegin(), windows.cend(), [&](QWindow* window) {
        return window->handle() != nullptr && window->isVisible() && window->winId() == *focus;
    });
}

}  // namespace PopupWindowHints

}  // namespace orv
