#include "settings/HotKeyRegistration.h"
#include "settings/DesktopShortcut.h"

#include "hotkey/GlobalHotKey.h"
#include "model/PreferencesStore.h"
#include "platform/xdg/ShortcutText.h"

namespace orv {

namespace {

// What the settings window says about a registration that failed with `status`.
QString statusText(QKeyCombination combo, int status) {
    if (status == 0) {
        return {};
    }
    if (status == HotKeyService::badAccess) {
        return QStringLiteral("No se pudo activar %1: otra aplicación ya usa ese atajo.")
            .arg(ShortcutText::of(combo));
    }
    // The desktop's own shortcut is the way left: say exactly what it must run.
    const QString fallback =
        QStringLiteral(" Crea un atajo de teclado del escritorio que ejecute «%1».")
            .arg(DesktopShortcut::toggleCommand());
    if (status == HotKeyService::unavailable) {
        return QStringLiteral("Este escritorio no permite atajos globales a las aplicaciones.") +
               fallback;
    }
    if (status == HotKeyService::noKeyAssigned) {
        return QStringLiteral(
                   "El escritorio aceptó el atajo pero no le asignó ninguna tecla: "
                   "asígnasela en Preferencias del sistema → Accesos rápidos → "
                   "Orvantide.") +
               fallback;
    }
    if (status == HotKeyService::refusedByDesktop) {
        return QStringLiteral("El escritorio no concedió %1.").arg(ShortcutText::of(combo)) +
               fallback;
    }
    return QStringLiteral("No se pudo activar %1. Prueba con otra combinación.")
        .arg(ShortcutText::of(combo));
}

}  // namespace

HotKeyRegistration::HotKeyRegistration(GlobalHotKey& hotKey, PreferencesStore& preferences,
                                       QObject* parent)
    : QObject(parent), m_hotKey(hotKey), m_preferences(preferences) {
    connect(&m_hotKey, &GlobalHotKey::registrationChanged, this, &HotKeyRegistration::showStatus);
    showStatus();
}

void HotKeyRegistration::refresh() {
    if (m_preferences.hotKeySuspended()) {
        m_hotKey.unregister();
    } else {
        m_hotKey.registerCombo(m_preferences.hotKey());
    }
}

void HotKeyRegistration::retry() {
    if (!m_preferences.hotKeySuspended()) {
        m_hotKey.retry();
    }
}

void HotKeyRegistration::showStatus() {
    const auto& combo = m_hotKey.combo();
    m_preferences.setHotKeyStatus(combo ? statusText(*combo, m_hotKey.status()) : QString());
}

}  // namespace orv
