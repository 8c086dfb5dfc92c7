#include "hotkey/GlobalHotKey.h"

namespace orv {

GlobalHotKey::GlobalHotKey(HotKeyService& service, QObject* parent)
    : QObject(parent), m_service(service) {
    connect(&m_service, &HotKeyService::pressed, this, &GlobalHotKey::handle);
    connect(&m_service, &HotKeyService::refused, this, [this](int status) {
        if (m_registered && m_combo) {
            fail(*m_combo, status);
        }
    });
    connect(&m_service, &HotKeyService::availabilityChanged, this, &GlobalHotKey::retry);
}

void GlobalHotKey::registerCombo(const HotKeyCombo& combo) {
    if (m_registered) {
        m_service.ungrab();
    }
    const auto key = combo.keyCombination();
    const int status = key ? m_service.grab(*key) : HotKeyService::badValue;
    if (status != 0) {
        fail(combo, status);
        return;
    }
    settle(true, combo, 0);
}

void GlobalHotKey::fail(const HotKeyCombo& combo, int status) {
    emit failureLogged(
        QStringLiteral("No se pudo registrar el atajo %1: %2").arg(combo.display()).arg(status));
    settle(false, combo, status);
}

void GlobalHotKey::unregister() {
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

void GlobalHotKey::settle(bool registered, std::optional<HotKeyCombo> combo, int status) {
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
