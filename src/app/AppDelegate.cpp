#include "app/AppDelegate.h"

#include "app/AppVersion.h"
#include "app/DesktopShortcut.h"
#include "app/StatusIcon.h"
#include "clipboard/PasteSequence.h"
#include "platform/SystemLog.h"
#include "platform/portal/RemoteDesktopInjector.h"
#include "store/PrivateFolder.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

namespace orv {

namespace {
Q_LOGGING_CATEGORY(lcApp, "orv.app", QtInfoMsg)
}

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent),
      m_platform(PlatformServices::create()),
      m_hotKey(m_platform->hotKeys()),
      m_monitor(m_platform->pasteboard(), m_platform->workspace()) {}

AppDelegate::~AppDelegate() = default;

QString AppDelegate::supportDirectory() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/com.quarnelbrisk.orvantide");
    makePrivateFolder(path);
    return path;
}

bool AppDelegate::applicationDidFinishLaunching() {
    m_updater = std::make_unique<AppUpdater>();
    // Closing a window never quits: the program lives in the tray.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    try {
        const QString support = supportDirectory();
        m_history = std::make_unique<HistoryStore>(support + QStringLiteral("/history.db"),
                                                   support + QStringLiteral("/images"));
    } catch (const std::exception& error) {
        showLaunchError(QString::fromUtf8(error.what()));
        return false;
    }

    // What a crash left between writing an image and storing its row goes before anything else.
    m_history->removeOrphanImages();

    m_defaults = std::make_unique<JsonFileUserDefaults>(JsonFileUserDefaults::standardPath());
    m_loginItem = std::make_unique<XdgAutostartLoginItem>();
    m_preferences = std::make_unique<PreferencesStore>(*m_defaults, *m_loginItem);
    m_hotKeyRegistration = std::make_unique<HotKeyRegistration>(m_hotKey, *m_preferences);
    m_recorder = std::make_unique<ClipRecorder>(*m_history, *m_preferences, m_scheduler);
    m_model = std::make_unique<AppModel>(*m_history, *m_preferences, m_scheduler);
    m_preview = std::make_unique<PreviewPanelController>();
    m_palette = std::make_unique<PalettePanelController>(*m_model, m_platform->workspace(),
                                                         &m_platform->pointerMonitor());
    m_settings = std::make_unique<SettingsWindowController>(*m_preferences);
    m_permissions = std::make_unique<PermissionsWindowController>(m_platform->trust());
    m_settings->setDesktopShortcut(&m_desktopShortcut);
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
    connect(model, &AppModel::copyRequested, this, &AppDelegate::copy);
    connect(m_preferences.get(), &PreferencesStore::changed, model,
            [model] { model->applyPreferenceLimits(); });
    connect(m_preferences.get(), &PreferencesStore::hotKeyRegistrationChanged, this,
            &AppDelegate::refreshHotKey);
    connect(m_palette.get(), &PalettePanelController::clearRequested, this,
            &AppDelegate::confirmClear);
    connect(m_palette.get(), &PalettePanelController::settingsRequested, this,
            &AppDelegate::openSettings);
    configureStatusItem();
    // Captures that cannot be stored stay said, even with the palette closed.
    connect(model, &AppModel::persistentErrorChanged, this, [this] {
        const auto& error = m_model->persistentError();
        m_statusItem->setToolTip(error ? QStringLiteral("Orvantide — ") + *error
                                       : QStringLiteral("Orvantide"));
    });
    connect(&m_hotKey, &GlobalHotKey::pressed, this, &AppDelegate::togglePalette);
    connect(&m_hotKey, &GlobalHotKey::failureLogged, this, &SystemLog::write);
    connect(&m_hotKey, &GlobalHotKey::registrationChanged, this, &AppDelegate::showMechanisms);
    refreshHotKey();
    ClipRecorder* recorder = m_recorder.get();
    connect(&m_monitor, &ClipboardMonitor::captured, recorder,
            [recorder](const CapturedClip& clip) { recorder->record(clip); });
    model->follow(*recorder);
    m_monitor.start();
    presentPermissionsIfNeeded();
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

void AppDelegate::copy(const Clip& clip) {
    PasteSequence::run(
        clip,
        {m_platform->pasteboard(), m_monitor, m_platform->workspace(), m_platform->keyInjector(),
         m_platform->trust(), m_scheduler, &m_platform->primarySelection()},
        *this);
}

bool AppDelegate::autoPaste() const {
    return m_preferences->autoPaste();
}

std::optional<RunningApplication> AppDelegate::previousApplication() const {
    return m_palette->previousApplication;
}

void AppDelegate::closePalette() {
    m_palette->close();
}

void AppDelegate::report(const QString& message) {
    m_model->report(message);
}

// The tray icon: a click toggles the palette, the menu is built anew each time it opens. Where the
// desktop has no tray, the hot key and `orvantide --toggle` still reach the palette.
void AppDelegate::configureStatusItem() {
    m_statusItem = std::make_unique<QSystemTrayIcon>(StatusIcon::forDesktop());
    m_statusItem->setToolTip(QStringLiteral("Orvantide"));
    m_menu = std::make_unique<QMenu>();
    connect(m_menu.get(), &QMenu::aboutToShow, this, &AppDelegate::rebuildMenu);
    m_statusItem->setContextMenu(m_menu.get());
    connect(m_statusItem.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger) {
                    return;
                }
                // Control-click is the secondary click of one-button habits: the menu.
                if (QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier)) {
                    m_menu->popup(QCursor::pos());
                } else {
                    togglePalette();
                }
            });
    m_statusItem->show();
}

void AppDelegate::rebuildMenu() {
    m_palette->close();
    m_menu->clear();
    QAction* version = m_menu->addAction(QStringLiteral("v") + AppVersion::current());
    version->setEnabled(false);
    m_menu->addSeparator();
    if (m_updater) {
        QAction* updates = m_menu->addAction(QStringLiteral("Buscar actualizaciones…"));
        updates->setEnabled(m_updater->canCheckForUpdates());
        connect(updates, &QAction::triggered, m_updater.get(), &AppUpdater::checkForUpdates);
    }
    QAction* quit = m_menu->addAction(QStringLiteral("Salir de Orvantide"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(quit, &QAction::triggered, qApp, &QCoreApplication::quit);
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
    RemoteDesktopInjector* keys = m_platform->useRemoteDesktopKeys(
        m_preferences->remoteDesktopKeys(), m_preferences->remoteDesktopToken());
    if (keys != nullptr) {
        connect(keys, &RemoteDesktopInjector::restoreTokenChanged, m_preferences.get(),
                &PreferencesStore::setRemoteDesktopToken, Qt::UniqueConnection);
        connect(keys, &RemoteDesktopInjector::readyChanged, this, &AppDelegate::showMechanisms,
                Qt::UniqueConnection);
    }
    showMechanisms();
}

// A shortcut the desktop would not give is said where the mechanisms are listed, with the way
// around it.
void AppDelegate::showMechanisms() {
    PlatformServices::Mechanisms mechanisms = m_platform->mechanisms();
    if (m_hotKey.combo() && m_hotKey.status() != 0) {
        mechanisms.hotKey = QStringLiteral(
                                "no disponible (%1); usa un atajo del escritorio que "
                                "ejecute «%2»")
                                .arg(mechanisms.hotKey, DesktopShortcut::toggleCommand());
    }
    if (const RemoteDesktopInjector* keys = m_platform->useRemoteDesktopKeys(
            m_preferences->remoteDesktopKeys(), m_preferences->remoteDesktopToken());
        keys != nullptr && !keys->failure().isEmpty()) {
        mechanisms.paste += QStringLiteral(" (") + keys->failure() + u')';
    }
    m_permissions->setMechanisms(mechanisms.lines());
}

// The palette is closed by now: the tray says it, where there is one to say it.
void AppDelegate::pasteByHand(const QString& hint) {
    qCInfo(lcApp).noquote() << "copied only:" << hint;
    if (m_statusItem && QSystemTrayIcon::isSystemTrayAvailable()) {
        m_statusItem->showMessage(QStringLiteral("Orvantide"), hint, QSystemTrayIcon::Information,
                                  5000);
    }
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

void AppDelegate::showLaunchError(const QString& message) {
    QMessageBox alert(QMessageBox::Critical, QStringLiteral("Orvantide"),
                      QStringLiteral("No se pudo abrir el historial"));
    alert.setInformativeText(message);
    alert.setIconPixmap(alertIcon());
    alert.exec();
}

QPixmap AppDelegate::alertIcon() {
    return QApplication::windowIcon().pixmap(64);
}

}  // namespace orv
