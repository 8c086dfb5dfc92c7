#include "app/AppDelegate.h"

#include "app/LaunchAlert.h"
#include "app/StatusIcon.h"
#include "app/TrayMenu.h"
#include "clipboard/PasteSequence.h"
#include "logging/Logging.h"
#include "platform/ApplicationId.h"
#include "platform/xdg/SystemLog.h"
#include "settings/DesktopShortcut.h"
#include "store/PrivateFolder.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

namespace orv {

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent),
      m_platform(PlatformServices::create()),
      m_hotKey(m_platform->hotKeys()),
      m_monitor(m_platform->pasteboard(), m_platform->workspace()),
      m_paste({m_monitor, m_platform->workspace(), m_platform->keyInjector(), m_platform->trust(),
               m_scheduler, &m_platform->primarySelection()}) {}

AppDelegate::~AppDelegate() = default;

QString AppDelegate::supportDirectory() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         u'/' + applicationId;
    makePrivateFolder(path);
    return path;
}

bool AppDelegate::applicationDidFinishLaunching(bool quiet) {
    m_updater = std::make_unique<AppUpdater>();
    // Closing a window never quits: the program lives in the tray.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QString database;
    try {
        const QString support = supportDirectory();
        database = support + QStringLiteral("/history.db");
        m_history = std::make_unique<HistoryStore>(database, support + QStringLiteral("/images"));
    } catch (const std::exception& error) {
        showLaunchError(error, database, quiet);
        return false;
    }

    // Said where the user looks, and in the log (by the store).
    m_history->onReopened = [self = QPointer<AppDelegate>(this)](const QString& message) {
        QMetaObject::invokeMethod(
            qApp,
            [self, message] {
                if (self && self->m_model) {
                    self->m_model->report(message);
                }
            },
            Qt::QueuedConnection);
    };
    // What a crash left between writing an image and storing its row goes before anything else.
    m_history->removeOrphanImages();

    m_defaults = std::make_unique<JsonFileUserDefaults>(JsonFileUserDefaults::standardPath());
    m_loginItem = std::make_unique<XdgAutostartLoginItem>();
    m_preferences = std::make_unique<PreferencesStore>(*m_defaults, *m_loginItem);
    m_hotKeyRegistration = std::make_unique<HotKeyRegistration>(m_hotKey, *m_preferences);
    m_recorder = std::make_unique<ClipRecorder>(*m_history, *m_preferences, m_scheduler);
    m_model = std::make_unique<AppModel>(*m_history, *m_preferences, m_scheduler);
    if (m_history->readOnly()) {
        m_model->report(
            QStringLiteral("El historial es de solo lectura: puedes consultarlo, pero "
                           "no se guarda lo que copias"));
    }
    m_preview = std::make_unique<PreviewPanelController>();
    m_palette = std::make_unique<PalettePanelController>(*m_model, m_platform->workspace(),
                                                         &m_platform->pointerMonitor());
    m_settings = std::make_unique<SettingsWindowController>(*m_preferences);
    m_permissions = std::make_unique<PermissionsWindowController>(m_platform->trust());
    m_settings->setDesktopShortcut(&m_desktopShortcut);
    connect(m_settings.get(), &SettingsWindowController::permissionsRequested, this,
            &AppDelegate::showPermissions);
    m_settings->setRemoteDesktopOffered(m_platform->offersRemoteDesktopKeys());
    connect(m_preferences.get(), &PreferencesStore::remoteDesktopKeysChanged, this,
            &AppDelegate::applyRemoteDesktopKeys);
    applyRemoteDesktopKeys();
    if (!m_platform->knowsEveryWindow()) {
        m_settings->setExclusionsNote(
            QStringLiteral("En este escritorio solo se reconocen las aplicaciones XWayland: las "
                           "exclusiones no alcanzan a las aplicaciones Wayland nativas."));
    }
    m_model->setPreviewController(m_preview.get());

    AppModel* model = m_model.get();
    connect(m_preview.get(), &PreviewPanelController::mouseExited, model,
            &AppModel::schedulePreviewDismiss);
    connect(model, &AppModel::copyRequested, this, [this](const Clip& clip) {
        m_paste.run(clip, m_preferences->autoPaste(), m_palette->previousApplication);
    });
    connect(&m_paste, &PasteSequence::written, m_palette.get(), &PalettePanelController::close);
    connect(&m_paste, &PasteSequence::finished, this, &AppDelegate::pasted);
    connect(m_preferences.get(), &PreferencesStore::changed, model,
            [model] { model->applyPreferenceLimits(); });
    connect(m_preferences.get(), &PreferencesStore::hotKeyRegistrationChanged, this,
            &AppDelegate::refreshHotKey);
    connect(m_palette.get(), &PalettePanelController::clearRequested, this,
            &AppDelegate::confirmClear);
    connect(m_palette.get(), &PalettePanelController::settingsRequested, this,
            &AppDelegate::openSettings);
    connect(m_palette.get(), &PalettePanelController::keyboardUnavailable, this,
            [this](const QString& notice) { m_statusItem->notify(notice); });
    configureStatusItem();
    connect(model, &AppModel::persistentErrorChanged, this, &AppDelegate::showTrayState);
    connect(&m_hotKey, &GlobalHotKey::pressed, this, &AppDelegate::togglePalette);
    connect(&m_hotKey, &GlobalHotKey::failureLogged, this, &SystemLog::write);
    connect(&m_hotKey, &GlobalHotKey::registrationChanged, this, &AppDelegate::showMechanisms);
    refreshHotKey();
    ClipRecorder* recorder = m_recorder.get();
    m_keeper = std::make_unique<ClipboardKeeper>(m_platform->pasteboard(), m_monitor);
    ClipboardKeeper* keeper = m_keeper.get();
    PreferencesStore* preferences = m_preferences.get();
    connect(&m_monitor, &ClipboardMonitor::captured, recorder,
            [recorder, keeper](const CapturedClip& clip, qint64 change) {
                // What the recorder skips is not kept either: it may go back if its owner quits.
                if (recorder->takes(clip)) {
                    keeper->recorded(clip, change);
                }
                recorder->record(clip);
            });
    keeper->setPaused(preferences->paused());
    connect(preferences, &PreferencesStore::pausedChanged, keeper,
            [keeper, preferences] { keeper->setPaused(preferences->paused()); });
    model->follow(*recorder);
    m_commands = std::make_unique<Commands>(
        Commands::Services{*m_history, *preferences, *recorder, m_monitor, m_platform->workspace(),
                           [this] { return mechanismsInForce(); }});
    // Queued: a D-Bus call is answered before a window or an alert opens.
    connect(
        m_commands.get(), &Commands::toggleRequested, this,
        [this] {
            retryHotKey();
            togglePalette();
        },
        Qt::QueuedConnection);
    connect(m_commands.get(), &Commands::settingsRequested, this, &AppDelegate::openSettings,
            Qt::QueuedConnection);
    connect(m_commands.get(), &Commands::clearRequested, this, &AppDelegate::confirmClear,
            Qt::QueuedConnection);
    connect(m_commands.get(), &Commands::permissionsRequested, this, &AppDelegate::showPermissions,
            Qt::QueuedConnection);
    // As "Salir de Orvantide", once the command has its answer.
    connect(m_commands.get(), &Commands::quitRequested, qApp, &QCoreApplication::quit,
            Qt::QueuedConnection);
    m_monitor.start();
    presentPermissionsIfNeeded();
    // Once start-up is through and the first clipboard read is under way: the first opening then
    // shows its list at once and costs no more than any later one.
    QTimer::singleShot(0, m_palette.get(), [palette = m_palette.get()] { palette->prepare(); });
    qCDebug(lcApp) << "ready";
    return true;
}

void AppDelegate::togglePalette() {
    if (m_palette) {
        std::optional<QRect> anchor;
        if (m_statusItem && m_statusItem->geometry().isValid()) {
            anchor = m_statusItem->geometry();
        }
        m_palette->toggle(anchor);
    }
}

void AppDelegate::pasted(const PasteSequence::Outcome& outcome) {
    using Kind = PasteSequence::Outcome::Kind;
    if (outcome.kind == Kind::failed) {
        m_model->report(outcome.message);
    } else if (outcome.kind == Kind::permissions) {
        showPermissions();
    } else if (outcome.kind == Kind::pasteByHand) {
        // The palette is closed by now: a notification says it, or the tray where none answers.
        qCInfo(lcApp).noquote() << "copied only:" << outcome.message;
        m_statusItem->notify(outcome.message);
    }
}

// The tray icon: a click toggles the palette, the menu is built anew each time it opens.
void AppDelegate::configureStatusItem() {
    m_statusItem = std::make_unique<StatusItem>();
    m_statusItem->setToolTip(QStringLiteral("Orvantide"));
    showTrayState();
    connect(m_preferences.get(), &PreferencesStore::pausedChanged, this,
            &AppDelegate::showTrayState);
    m_trayMenu = std::make_unique<TrayMenu>(*m_history, *m_preferences, m_updater.get());
    connect(m_trayMenu.get(), &TrayMenu::opening, m_palette.get(), &PalettePanelController::close);
    connect(m_trayMenu.get(), &TrayMenu::clipChosen, this,
            [this](const Clip& clip) { copyChosen(clip); });
    connect(m_trayMenu.get(), &TrayMenu::preferencesRequested, this, &AppDelegate::openSettings);
    m_trayMenu->refresh();
    m_statusItem->setContextMenu(m_trayMenu->menu());
    connect(m_statusItem.get(), &StatusItem::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger) {
                    return;
                }
                // Control-click is the secondary click of one-button habits: the menu.
                if (QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier)) {
                    m_trayMenu->menu()->popup(QCursor::pos());
                } else {
                    togglePalette();
                }
            });
    m_statusItem->show();
}

// Captures that cannot be stored stay said, even with the palette closed; so does a pause.
void AppDelegate::showTrayState() {
    const QIcon icon = StatusIcon::forDesktop();
    const bool paused = m_preferences->paused();
    m_statusItem->setIcon(
        paused ? StatusIcon::paused(icon, QGuiApplication::palette().color(QPalette::WindowText))
               : icon);
    QString tip = QStringLiteral("Orvantide");
    if (paused) {
        tip += QStringLiteral(" — captura en pausa");
    }
    if (const auto& error = m_model->persistentError()) {
        tip += QStringLiteral(" — ") + *error;
    }
    m_statusItem->setToolTip(tip);
}

// From the tray menu: onto the clipboard only, as our own change; there is no window to paste
// into from a menu.
void AppDelegate::copyToClipboard(const Clip& clip) {
    try {
        m_monitor.writeOwn(clip);
    } catch (const std::exception& error) {
        m_model->report(QString::fromUtf8(error.what()));
        m_statusItem->showBalloon(QString::fromUtf8(error.what()), QSystemTrayIcon::Warning);
    }
}

QCoro::Task<> AppDelegate::copyChosen(Clip clip) {
    QPointer<AppDelegate> self(this);
    const std::optional<Clip> whole = co_await m_model->wholeClip(clip);
    if (self && whole) {
        copyToClipboard(*whole);
    }
}

void AppDelegate::openSettings() {
    m_palette->close();
    retryHotKey();
    m_settings->show();
}

void AppDelegate::showPermissions() {
    m_permissions->show();
}

// Keys through the desktop's remote-desktop portal, as the user chose; its token is kept with the
// settings so that it asks only once.
void AppDelegate::applyRemoteDesktopKeys() {
    PreferencesStore* preferences = m_preferences.get();
    m_platform->useRemoteDesktopKeys(
        preferences->remoteDesktopKeys(), preferences->remoteDesktopToken(),
        [preferences](const QString& token) { preferences->setRemoteDesktopToken(token); },
        [this] { showMechanisms(); });
    showMechanisms();
}

// What is in force after each attempt, where the mechanisms are listed and once in the log: a
// shortcut the desktop would not give with the way around it, a refused remote desktop with why.
PlatformServices::Mechanisms AppDelegate::mechanismsInForce() const {
    PlatformServices::Mechanisms mechanisms = m_platform->mechanisms();
    if (m_hotKey.combo() && m_hotKey.status() != 0) {
        mechanisms.hotKey = QStringLiteral(
                                "no disponible (%1); usa un atajo del escritorio que "
                                "ejecute «%2»")
                                .arg(mechanisms.hotKey, DesktopShortcut::toggleCommand());
    }
    return mechanisms;
}

void AppDelegate::showMechanisms() {
    const PlatformServices::Mechanisms mechanisms = mechanismsInForce();
    const QString failure = m_platform->remoteDesktopFailure();
    m_settings->setRemoteDesktopNote(
        !failure.isEmpty()
            ? QStringLiteral("No está disponible. %1 Mientras tanto se pega como sin él.")
                  .arg(failure)
            : QString());
    const QStringList lines = mechanisms.lines();
    if (lines != m_permissions->mechanisms()) {
        qCInfo(lcApp).noquote() << "in force:" << lines.join(QStringLiteral(", "));
    }
    m_permissions->setMechanisms(lines);
}

void AppDelegate::presentPermissionsIfNeeded() {
    if (m_preferences->autoPaste() && !m_platform->trust().isTrusted()) {
        showPermissions();
    }
}

void AppDelegate::confirmClear() {
    m_model->hidePreview();
    // The palette stays above every window: the alert goes above it as its child, or it would open
    // hidden underneath and still take the keyboard.
    QWidget* palette = m_palette->isShown() ? m_palette->window() : nullptr;
    QMessageBox alert(QMessageBox::Warning, QStringLiteral("Orvantide"),
                      QStringLiteral("¿Limpiar el historial no fijado?"), QMessageBox::NoButton,
                      palette, Qt::Dialog | Qt::WindowStaysOnTopHint);
    alert.setInformativeText(QStringLiteral("Los clips fijados se conservan."));
    alert.setIconPixmap(alertIcon());
    QPushButton* clear = alert.addButton(QStringLiteral("Limpiar"), QMessageBox::AcceptRole);
    alert.addButton(QStringLiteral("Cancelar"), QMessageBox::RejectRole);
    alert.setDefaultButton(clear);
    QTimer::singleShot(0, &alert, [&alert] {
        alert.raise();
        alert.activateWindow();
    });
    alert.exec();
    // The keyboard goes back to the palette the alert was over.
    if (palette != nullptr && palette->isVisible()) {
        palette->raise();
        palette->activateWindow();
    }
    if (alert.clickedButton() == clear && m_model) {
        m_model->clearUnpinned();
    }
}

void AppDelegate::refreshHotKey() {
    m_hotKeyRegistration->refresh();
}

void AppDelegate::retryHotKey() {
    if (m_hotKeyRegistration) {
        m_hotKeyRegistration->retry();
    }
}

void AppDelegate::showLaunchError(const std::exception& error, const QString& databasePath,
                                  bool quiet) {
    qCCritical(lcApp) << "the history cannot be opened:" << error.what();
    const std::unique_ptr<QMessageBox> alert = LaunchAlert::create(error, databasePath);
    m_launchFailure = alert->text() + u' ' + alert->informativeText() + QStringLiteral(" (") +
                      QString::fromUtf8(error.what()) + u')';
    if (!quiet) {
        alert->setIconPixmap(alertIcon());
        alert->exec();
    }
}

QPixmap AppDelegate::alertIcon() {
    return QApplication::windowIcon().pixmap(64);
}

}  // namespace orv
