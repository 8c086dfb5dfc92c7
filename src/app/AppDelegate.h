#pragma once

#include "app/AppUpdater.h"
#include "app/StatusItem.h"
#include "clipboard/ClipboardKeeper.h"
#include "clipboard/ClipboardMonitor.h"
#include "clipboard/PasteSequence.h"
#include "commands/Commands.h"
#include "hotkey/GlobalHotKey.h"
#include "model/AppModel.h"
#include "model/ClipRecorder.h"
#include "model/PreferencesStore.h"
#include "palette/PalettePanelController.h"
#include "platform/PlatformServices.h"
#include "platform/xdg/JsonFileUserDefaults.h"
#include "platform/xdg/TimerScheduler.h"
#include "platform/xdg/XdgAutostartLoginItem.h"
#include "preview/PreviewPanelController.h"
#include "settings/DesktopShortcut.h"
#include "settings/HotKeyRegistration.h"
#include "settings/PermissionsWindowController.h"
#include "settings/SettingsWindowController.h"
#include "store/HistoryStore.h"

#include <QMenu>
#include <QObject>
#include <QPixmap>

#include <memory>

namespace orv {

class TrayMenu;

// The composition root: builds every long-lived object, wires their callbacks and owns them until
// the process ends.
class AppDelegate : public QObject {
    Q_OBJECT

public:
    explicit AppDelegate(QObject* parent = nullptr);
    ~AppDelegate() override;

    // The launch sequence. False when the history could not be opened; the alert has then been
    // shown and dismissed, and nothing else was created.
    // False when the history cannot be opened: said in an alert, or only kept in
    // launchFailure() with `quiet`.
    bool applicationDidFinishLaunching(bool quiet = false);
    // Why the launch failed, in Spanish, for the subcommand that started it.
    const QString& launchFailure() const { return m_launchFailure; }

    // The hot key, a second launch and `orvantide --toggle` all end here.
    void togglePalette();
    // Tries again a hot key that could not be registered (another program held it). Asking for the
    // palette from the command line may mean the hot key does not work.
    void retryHotKey();

    PalettePanelController* palette() const { return m_palette.get(); }
    // The subcommands and desktop actions, for the socket and D-Bus; none before the launch.
    Commands* commands() const { return m_commands.get(); }

    // Asks before clearing the unpinned history.
    void confirmClear();

    // $XDG_DATA_HOME/com.quarnelbrisk.orvantide, created private to the user. Raises Error.
    static QString supportDirectory();

private:
    void refreshHotKey();
    // Choosing a clip runs the paste sequence; here is what its end asks for.
    void pasted(const PasteSequence::Outcome& outcome);
    void showPermissions();
    void configureStatusItem();
    // The tray icon faded with a pause sign while capture is paused; the tooltip says so and
    // says a capture that cannot be stored.
    void showTrayState();
    void copyToClipboard(const Clip& clip);
    // A clip of the tray menu, read whole first.
    QCoro::Task<> copyChosen(Clip clip);
    void openSettings();
    // Which mechanism each desktop service goes through, for the permissions window and `status`.
    PlatformServices::Mechanisms mechanismsInForce() const;
    void showMechanisms();
    void applyRemoteDesktopKeys();
    // With automatic pasting on and no permission to post keys, explain it at once.
    void presentPermissionsIfNeeded();
    // `databasePath`: where the history was being opened, empty when its folder failed first.
    void showLaunchError(const std::exception& error, const QString& databasePath, bool quiet);
    // The program's icon, as alerts show it.
    static QPixmap alertIcon();

    std::unique_ptr<PlatformServices> m_platform;
    TimerScheduler m_scheduler;
    GlobalHotKey m_hotKey;
    ClipboardMonitor m_monitor;
    PasteSequence m_paste;
    DesktopShortcut m_desktopShortcut;

    std::unique_ptr<AppUpdater> m_updater;
    std::unique_ptr<HistoryStore> m_history;
    std::unique_ptr<JsonFileUserDefaults> m_defaults;
    std::unique_ptr<XdgAutostartLoginItem> m_loginItem;
    std::unique_ptr<PreferencesStore> m_preferences;
    std::unique_ptr<HotKeyRegistration> m_hotKeyRegistration;
    std::unique_ptr<ClipRecorder> m_recorder;
    std::unique_ptr<ClipboardKeeper> m_keeper;
    std::unique_ptr<AppModel> m_model;
    std::unique_ptr<Commands> m_commands;
    std::unique_ptr<PreviewPanelController> m_preview;
    std::unique_ptr<PalettePanelController> m_palette;
    std::unique_ptr<SettingsWindowController> m_settings;
    std::unique_ptr<PermissionsWindowController> m_permissions;
    std::unique_ptr<StatusItem> m_statusItem;
    std::unique_ptr<TrayMenu> m_trayMenu;
    QString m_launchFailure;
};

}  // namespace orv
