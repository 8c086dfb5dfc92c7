#pragma once

#include <QColor>

#include <functional>
#include <optional>

class QObject;
class QWindow;

namespace orv {

// What the desktop says about itself, and the hints its window manager takes. This base says
// nothing and does nothing (where Qt does not draw on X11); the X11 backend overrides it.
class DesktopHints {
public:
    virtual ~DesktopHints() = default;

    // The session's, chosen by the factory.
    static DesktopHints& forSession();

    // Whether a compositing manager runs. Without one, translucent windows show black corners, so
    // round windows are drawn opaque and shaped by a mask instead. True where nobody says, as
    // compositing is the norm there.
    virtual bool compositing() const { return true; }
    // The colour the system tray asks its icons to be drawn in (panels that follow a colour scheme
    // say one); none when the tray says nothing or there is no tray.
    virtual std::optional<QColor> trayIconColor() const { return std::nullopt; }
    // Whether the display has a tray of its own (X11's XEmbed tray) now; `started` runs whenever
    // one starts later, while `owner` lives.
    virtual bool watchTray(QObject* /*owner*/, const std::function<void()>& /*started*/) {
        return false;
    }
    // A popup stays out of taskbars and pagers. The window manager drops these states whenever the
    // window is withdrawn, so they are set again before every show (from the window's showEvent,
    // which comes before it is mapped).
    virtual void applyPopupHints(QWindow*) {}
    // Also for a popup that takes the keyboard: where the window manager gives it only to windows
    // mapped as toplevels (Weston), it is mapped as one.
    virtual void applyKeyboardPopupHints(QWindow* window) { applyPopupHints(window); }
    // Asks the window manager for the keyboard, the way it honours; false where there is none to
    // ask (the toolkit's own request is all there is).
    virtual bool requestKeyboard(QWindow*) { return false; }
    // Whether one of this program's windows has the keyboard: as the display server has it where
    // it says (a window manager may take the focus straight back from a window Qt saw get it),
    // else as Qt has it.
    virtual bool ownWindowHasKeyboard() const;
};

}  // namespace orv
