#include "app/AppDelegate.h"

#include "store/PrivateFolder.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QStandardPaths>

AppDelegate::AppDelegate(QObject* parent)
    : QObject(parent),
      m_pasteboard(QGuiApplication::clipboard()),
      m_hotKey(m_hotKeyService),
      m_monitor(m_pasteboard, m_workspace) {}

AppDelegate::~AppDelegate() = default;

QString AppDelegate::supportDirectory() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                         QStringLiteral("/com.quarnelbrisk.orvantide");
    makePrivateFolder(path);
    return path;
}

bool AppDelegate::applicationDidFinishLaunching() {
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

    m_defaults = std::make_unique<JsonFileUserDefaults>(JsonFileUserDefaults::standardPath());
    m_loginItem = std::make_unique<XdgAutostartLoginItem>();
    m_preferences = std::make_unique<PreferencesStore>(*m_defaults, *m_loginItem);
    m_model = std::make_unique<AppModel>(*m_history, *m_preferences, m_scheduler);

    QPointer<AppModel> model(m_model.get());
    m_preferences->onChanged = [model] {
        if (model) {
            model->applyPreferenceLimits();
        }
    };
    QPointer<AppDelegate> self(this);
    m_preferences->onHotKeyRegistrationChanged = [self] {
        if (self) {
            self->refreshHotKey();
        }
    };
    m_hotKey.onPress = [self] {
        if (self) {
            self->togglePalette();
        }
    };
    refreshHotKey();
    m_monitor.onCapture = [model](const CapturedClip& clip) {
        if (model) {
            model->record(clip);
        }
    };
    m_monitor.start();
    return true;
}

void AppDelegate::togglePalette() {
    emit paletteToggleRequested();
}

void AppDelegate::refreshHotKey() {
    if (m_preferences->hotKeySuspended()) {
        m_hotKey.unregister();
    } else {
        m_hotKey.registerCombo(m_preferences->hotKey());
    }
}

void AppDelegate::showLaunchError(const QString& message) {
    QMessageBox alert(QMessageBox::Critical, QStringLiteral("Orvantide"),
                      QStringLiteral("No se pudo abrir el historial"));
    alert.setInformativeText(message);
    alert.exec();
}
