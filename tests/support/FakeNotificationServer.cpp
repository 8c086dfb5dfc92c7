#include "support/FakeNotificationServer.h"

#include <gtest/gtest.h>

namespace orv {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kConnection = QStringLiteral("notifications");
}  // namespace

FakeNotificationServer::FakeNotificationServer(bool silent)
    : m_silent(silent),
      m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, kConnection)) {
    EXPECT_TRUE(m_bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots));
    EXPECT_TRUE(m_bus.registerService(kService));
}

FakeNotificationServer::~FakeNotificationServer() {
    m_bus.unregisterService(kService);
    m_bus.unregisterObject(kPath);
    QDBusConnection::disconnectFromBus(kConnection);
}

uint FakeNotificationServer::Notify(const QString& app, uint replaces, const QString& icon,
                                    const QString& summary, const QString& body,
                                    const QStringList& actions, const QVariantMap& hints,
                                    int timeout) {
    notices.append({app, replaces, icon, summary, body, actions, hints, timeout});
    if (m_silent) {
        setDelayedReply(true);
        m_held.append(message());
    }
    return uint(notices.size());
}

}  // namespace orv
