#include "logging/Logging.h"

namespace orv {

Q_LOGGING_CATEGORY(lcApp, "orv.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcInstance, "orv.app.instance", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCommands, "orv.app.commands", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDBus, "orv.app.dbus", QtInfoMsg)
Q_LOGGING_CATEGORY(lcShortcut, "orv.app.shortcut", QtInfoMsg)
Q_LOGGING_CATEGORY(lcTray, "orv.tray", QtInfoMsg)
Q_LOGGING_CATEGORY(lcModel, "orv.model", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPalette, "orv.palette", QtInfoMsg)
Q_LOGGING_CATEGORY(lcImages, "orv.preview", QtInfoMsg)
Q_LOGGING_CATEGORY(lcStore, "orv.store", QtInfoMsg)
Q_LOGGING_CATEGORY(lcKeeper, "orv.clipboard.keeper", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPaste, "orv.clipboard.paste", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPlatform, "orv.platform", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSettings, "orv.settings", QtInfoMsg)
Q_LOGGING_CATEGORY(lcNotifications, "orv.notifications", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPortal, "orv.portal", QtInfoMsg)
Q_LOGGING_CATEGORY(lcKeys, "orv.portal.keys", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWayland, "orv.wayland", QtInfoMsg)
Q_LOGGING_CATEGORY(lcDataControl, "orv.wayland.clipboard", QtInfoMsg)
Q_LOGGING_CATEGORY(lcOfferReader, "orv.wayland.read", QtInfoMsg)
Q_LOGGING_CATEGORY(lcKeyboard, "orv.wayland.keyboard", QtInfoMsg)
Q_LOGGING_CATEGORY(lcWindows, "orv.wayland.windows", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHotKey, "orv.x11.hotkey", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSelection, "orv.x11.selection", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPointer, "orv.x11.pointer", QtInfoMsg)

}  // namespace orv
