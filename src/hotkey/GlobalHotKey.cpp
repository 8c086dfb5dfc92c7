#include "hotkey/GlobalHotKey.h"

#include "platform/SystemLog.h"

#include <QCoreApplication>

GlobalHotKey::GlobalHotKey(HotKeyService& service, QObject* parent)
    : QObject(parent), log(&SystemLog::write), m_service(service) {}

void GlobalHotKey::registerCombo(const HotKeyCombo& combo) {
    current = this;
    if (!m_handlerInstalled) {
        m_service.onPressed = &GlobalHotKey::handle;
        m_handlerInstalled = true;
    }
    if (m_registered) {
        m_service.ungrab();
    }
    const auto binding = combo.xBinding();
    const int status = binding ? m_service.grab(*binding) : HotKeyService::badValue;
    if (status != 0 && log) {
        log(QStringLiteral("No se pudo registrar el atajo %1: %2")
                .arg(combo.display())
                .arg(status));
    }
    settle(status == 0, combo, status);
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

// Runs inside the native event dispatch: only queues the call.
void GlobalHotKey::handle(quint32 id) {
    if (id != 1 || QCoreApplication::instance() == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [] {
            if (GlobalHotKey* hotKey = current; hotKey != nullptr && hotKey->onPress) {
                hotKey->onPress();
            }
        },
        Qt::QueuedConnection);
}
