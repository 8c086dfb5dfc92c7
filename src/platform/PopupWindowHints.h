#pragma once

class QWindow;

namespace orv {

// Window-manager hints of a popup: the window stays out of taskbars and pagers. The window manager
// drops these states whenever the window is withdrawn, so they are set again before every show
// (from the window's showEvent, which comes before it is mapped). Does nothing outside X11.
namespace PopupWindowHints {
void apply(QWindow* window);
// Also for a popup that takes the keyboard: where the window manager gives it only to windows
// mapped as toplevels (Weston), it is mapped as one.
void applyTakingKeyboard(QWindow* window);
// Asks the window manager for the keyboard, the way it honours; false where there is none to ask
// (outside X11, the toolkit's own request is all there is).
bool requestKeyboard(QWindow* window);
// Whether one of this program's windows has the keyboard: on X11 as the server has it (a window
// manager may take the focus straight back from a window Qt saw get it), else as Qt has it.
bool ownWindowHasKeyboard();
}  // namespace PopupWindowHints

}  // namespace orv
