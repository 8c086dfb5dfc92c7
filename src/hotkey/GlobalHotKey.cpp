#include "hotkey/GlobalHotKey.h"

#include "platform/xdg/ShortcutText.h"

namespace orv {

namespace {

QString reason(int status) {
    switch (status) {
        case HotKeyService::badAccess:
            return QStringLiteral("otra aplicación ya lo usa");
        case HotKeyService::badValue:
            return QStringLiteral("el teclado no tiene esa tecla");
        case HotKeyService::unavailable:
            return QStringLiteral("este escritorio no ofrece atajos globales a las aplicaciones");
        case HotKeyService::refusedByDesktop:
            return QStringLiteral("el escritorio no lo concedió");
        case HotKeyService::noKeyAssigned:
            return QStringLiteral("el escritorio lo aceptó sin asignarle ninguna tecla");
        default:
            return QStringLiteral("error");
    }
}

}  // namespace

GlobalHotKey::GlobalHotKey(HotKeyService& service, QObject* parent)
    : QObject(parent), m_service(service) {
    connect(&m_service, &HotKeyService::pressed, this, &GlobalHotKey::handle);
    connect(&m_service, &HotKeyService::refused, this, [this](int status) {
        if (m_registered && m_combo) {
            fail(*m_combo, status);
        }
    });
    connect(&m_service, &HotKeyService::availabilityChanged, this, &GlobalHotKey::retry);
    // Working again: the next failure is news.
    connect(&m_service, &HotKeyService::bound, this, [this] { m_loggedFailure.reset(); });
}

void GlobalHotKey::registerCombo(QKeyCombination combo) {
    if (m_registered) {
        m_service.ungrab();
    }
    const int status =
        combo.key() == Qt::Key_unknown ? HotKeyService::badValue : m_service.grab(combo);
    if (status != 0) {
        fail(combo, status);
        return;
    }
    if (!m_service.answersLater()) {
        m_loggedFailure.reset();
    }
    settle(true, combo, 0);
}

// Each retry (every --toggle) may fail the same way, and a desktop's refusal comes after the grab
// looked fine: the log hears of a failure once, until the hot key works again.
void GlobalHotKey::fail(QKeyCombination combo, int status) {
    const std::pair failure{combo, status};
    if (m_loggedFailure != failure) {
        m_loggedFailure = failure;
        emit failureLogged(QStringLiteral("No se pudo registrar el atajo %1: %2 (%3)")
                               .arg(ShortcutText::of(combo), reason(status))
                               .arg(status));
    }
    settle(false, combo, status);
}

void GlobalHotKey::unregister() {
    m_loggedFailure.reset();
    if (m_registered) {
        m_service.ungrab();
    }
    settle(false, std::nullopt, 0);
}

void GlobalHotKey::retry() {
    if (!m_registered && m_combo) {
        registerCombo(*m_combo);
    }
}

void GlobalHotKey::settle(bool registered, std::optional<QKeyCombination> combo, int status) {
    const bool changed = registered != m_registered || combo != m_combo || status != m_status;
    m_registered = registered;
    m_combo = combo;
    m_status = status;
    if (changed) {
        emit registrationChanged();
    }
}

// Runs inside the native event dispatch: only queues the signal.
void GlobalHotKey::handle(quint32 id) {
    if (id != 1) {
        return;
    }
    QMetaObject::invokeMethod(this, &GlobalHotKey::pressed, Qt::QueuedConnection);
}

}  // namespace orv
