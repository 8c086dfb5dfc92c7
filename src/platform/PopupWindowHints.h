#pragma once

class QWindow;

namespace orv {

// Window-manager hints of a popup: the window stays out of taskbars and pagers. The window manager
// drops these states whenever the window is withdrawn, so they are set again before every show
// (from the window's showEvent, which comes before it is mapped). Does nothing outside X11.
namespace PopupWindowHints {
void apply(QWindow* window);
}

}  // namespace orv
