#include "app/AppDelegate.h"

#include "clipboard/ClipboardWriter.h"
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
    m_preview = std::make_unique<PreviewPanelController>();
    m_palette = std::make_unique<PalettePanelController>(*m_model, m_workspace);
    m_model->setPreviewController(m_preview.get());

    QPointer<AppModel> model(m_model.get());
    m_preview->onMouseExited = [model] {
        if (model) {
            model->schedulePreviewDismiss();
        }
    };
    QPointer<AppDelegate> self(this);
    m_model->onCopy = [self](const Clip& clip) {
        if (self) {
            self->copy(clip);
        }
    };
    m_preferences->onChanged = [model] {
        if (model) {
            model->applyPreferenceLimits();
        }
    };
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
    if (m_palette) {
        m_palette->toggle();
    }
}

void AppDelegate::copy(const Clip& clip) {
    try {
        ClipboardWriter::write(clip, m_pasteboard);
    } catch (const std::exception& error) {
        m_model->report(QString::fromUtf8(error.what()));
        return;
    }
    m_monitor.suppressCurrentChange();
    m_palette->close();
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
