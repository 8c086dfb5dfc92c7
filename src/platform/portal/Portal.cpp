#include "platform/portal/Portal.h"

#include "logging/Logging.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>

#include <atomic>

namespace orv {

namespace Portal {

QString nextToken() {
    static std::atomic<quint64> count = 0;
    return QStringLiteral("orvantide%1").arg(++count);
}

QString handlePath(const QDBusConnection& bus, const QString& kind, const QString& token) {
    const QString sender = bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return path + QStringLiteral("/%1/%2/%3").arg(kind, sender, token);
}

bool noPortal(const QString& error) {
    return error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           error.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn"));
}

bool noMember(const QString& error) {
    return error == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
           error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
           error == QLatin1String("org.freedesktop.DBus.Error.UnknownObject");
}

QString objectPath(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>()) {
        return value.value<QDBusObjectPath>().path();
    }
    return value.toString();
}

}  // namespace Portal

PortalRequests::PortalRequests(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {}

QString PortalRequests::expect(const QString& token, Handler handler) {
    const QString path = Portal::handlePath(m_bus, QStringLiteral("request"), token);
    m_requests.insert(path, std::move(handler));
    m_bus.connect(QString(), path, Portal::request, QStringLiteral("Response"), this,
                  SLOT(onResponse(QDBusMessage)));
    return path;
}

void PortalRequests::forget(const QString& path) {
    if (m_requests.remove(path) > 0) {
        m_bus.disconnect(QString(), path, Portal::request, QStringLiteral("Response"), this,
                         SLOT(onResponse(QDBusMessage)));
    }
}

void PortalRequests::forgetAll() {
    for (const QString& path : m_requests.keys()) {
        forget(path);
    }
}

void PortalRequests::call(const QDBusMessage& message, const QString& request,
                          std::function<void(const QDBusMessage&)> onReply) {
    const quint64 attempt = m_attempt;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, attempt, request, onReply = std::move(onReply)](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusMessage reply = done->reply();
                if (Portal::isError(reply)) {
                    forget(request);
                }
                if (attempt == m_attempt) {
                    onReply(reply);
                }
            });
}

void PortalRequests::registerApp(std::function<void()> registered,
                                 std::function<void(const QDBusMessage&)> missing) {
    QDBusMessage message = QDBusMessage::createMethodCall(
        Portal::service, Portal::path, Portal::registry, QStringLiteral("Register"));
    message << Portal::appId << QVariantMap();
    call(message, {},
         [this, registered = std::move(registered),
          missing = std::move(missing)](const QDBusMessage& reply) {
             const QString error = Portal::isError(reply) ? reply.errorName() : QString();
             if (Portal::noPortal(error)) {
                 missing(reply);
                 return;
             }
             if (!error.isEmpty() && !Portal::noMember(error)) {
                 // Likely another client of this connection registered it already.
                 qCInfo(lcPortal) << "cannot register the app id:" << error << reply.errorMessage();
             }
             // An error from the portal names it too; one from the bus or libdbus does not.
             setPortal(reply);
             registered();
         });
}

void PortalRequests::setPortal(const QDBusMessage& reply) {
    m_portal = reply.service().startsWith(QLatin1Char(':')) ? reply.service() : QString();
}

bool PortalRequests::fromPortal(const QDBusMessage& message) const {
    return m_portal.isEmpty() || message.service() == m_portal;
}

void PortalRequests::closeSession(const QString& path) const {
    QDBusMessage message = QDBusMessage::createMethodCall(Portal::service, path, Portal::session,
                                                          QStringLiteral("Close"));
    message.setAutoStartService(false);
    m_bus.send(message);
}

void PortalRequests::onResponse(const QDBusMessage& message) {
    const Handler handler = m_requests.value(message.path());
    if (!handler || !fromPortal(message)) {
        return;
    }
    forget(message.path());
    const QList<QVariant> arguments = message.arguments();
    handler(arguments.value(0).toUInt(), qdbus_cast<QVariantMap>(arguments.value(1)));
}

}  // namespace orv
