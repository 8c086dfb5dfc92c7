#pragma once

#include <QLoggingCategory>

// Every logging category of the program, declared once. Debug messages are off unless asked for
// (QT_LOGGING_RULES="orv.palette.debug=true"); information and above are on.
namespace orv {

// orv.app: start-up, the composition root, quitting
Q_DECLARE_LOGGING_CATEGORY(lcApp)
// orv.app.instance: the one instance per session and its socket
Q_DECLARE_LOGGING_CATEGORY(lcInstance)
// orv.app.commands: the subcommands
Q_DECLARE_LOGGING_CATEGORY(lcCommands)
// orv.app.dbus: the D-Bus service
Q_DECLARE_LOGGING_CATEGORY(lcDBus)
// orv.app.shortcut: the desktop's own shortcut
Q_DECLARE_LOGGING_CATEGORY(lcShortcut)
// orv.tray: the tray item and its menu
Q_DECLARE_LOGGING_CATEGORY(lcTray)
// orv.model: the palette's model and the capture recorder
Q_DECLARE_LOGGING_CATEGORY(lcModel)
// orv.palette: the palette window (its debug messages name what is typed)
Q_DECLARE_LOGGING_CATEGORY(lcPalette)
// orv.preview: image decoding
Q_DECLARE_LOGGING_CATEGORY(lcImages)
// orv.store: the history store
Q_DECLARE_LOGGING_CATEGORY(lcStore)
// orv.clipboard.keeper: what is kept for an owner that quits
Q_DECLARE_LOGGING_CATEGORY(lcKeeper)
// orv.clipboard.paste: the paste sequence
Q_DECLARE_LOGGING_CATEGORY(lcPaste)
// orv.platform: which desktop services are chosen
Q_DECLARE_LOGGING_CATEGORY(lcPlatform)
// orv.settings: the settings file
Q_DECLARE_LOGGING_CATEGORY(lcSettings)
// orv.notifications: desktop notifications
Q_DECLARE_LOGGING_CATEGORY(lcNotifications)
// orv.portal: the desktop portal's global shortcuts and its requests
Q_DECLARE_LOGGING_CATEGORY(lcPortal)
// orv.portal.keys: keys through the remote-desktop portal
Q_DECLARE_LOGGING_CATEGORY(lcKeys)
// orv.wayland: the Wayland connection
Q_DECLARE_LOGGING_CATEGORY(lcWayland)
// orv.wayland.clipboard: the Wayland clipboard
Q_DECLARE_LOGGING_CATEGORY(lcDataControl)
// orv.wayland.read: reading a Wayland offer
Q_DECLARE_LOGGING_CATEGORY(lcOfferReader)
// orv.wayland.keyboard: the Wayland virtual keyboard
Q_DECLARE_LOGGING_CATEGORY(lcKeyboard)
// orv.wayland.windows: the active window from foreign-toplevel
Q_DECLARE_LOGGING_CATEGORY(lcWindows)
// orv.x11.hotkey: the X11 key grab
Q_DECLARE_LOGGING_CATEGORY(lcHotKey)
// orv.x11.selection: reading an X11 selection
Q_DECLARE_LOGGING_CATEGORY(lcSelection)
// orv.x11.pointer: the X11 pointer
Q_DECLARE_LOGGING_CATEGORY(lcPointer)

}  // namespace orv
