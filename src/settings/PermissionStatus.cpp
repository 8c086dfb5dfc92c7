#include "settings/PermissionStatus.h"

#include "platform/AccessibilityTrust.h"

namespace orv {

PermissionStatus::PermissionStatus(AccessibilityTrust& trust, QObject* parent)
    : QObject(parent), m_trust(trust), m_trusted(trust.isTrusted()) {
    m_timer.setInterval(pollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &PermissionStatus::refresh);
}

void PermissionStatus::start() {
    refresh();
    m_timer.start();
}

void PermissionStatus::stop() {
    m_timer.stop();
}

void PermissionStatus::refresh() {
    const bool trusted = m_trust.isTrusted();
    if (trusted && !m_trusted && !m_justGranted) {
        m_justGranted = true;
        emit justGrantedChanged();
    }
    if (trusted != m_trusted) {
        m_trusted = trusted;
        emit accessibilityTrustedChanged();
    }
}

void PermissionStatus::requestTrust() {
    m_trust.requestTrust();
    refresh();
}

}  // namespace orv
