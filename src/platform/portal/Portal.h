#pragma once

#include "platform/ApplicationId.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>

namespace orv {

// What every client of the desktop portal needs: its names, the handle paths it hands out, and
// the errors that mean "no portal" or "not this interface".
namespace Portal {

inline const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString registry = QStringLiteral("org.freedesktop.host.portal.Registry");
inline const QString request = QStringLiteral("org.freedesktop.portal.Request");
inline const QString session = QStringLiteral("org.freedesktop.portal.Session");
// The id the portal knows us by; it must match the desktop entry's name.
inline const QString appId = applicationId;

// A token no other request or session of this process has used: paths are per connection, and
// every portal client here shares it.
QString nextToken();
// Where the portal puts the request or session ("request", "session") made with `token` by this
// connection: known before the call, so the answer can be listened for first.
QString handlePath(const QDBusConnection& bus, const QString& kind, const QString& token);

inline bool isError(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ErrorMessage;
}
// No portal on the bus, and none could be started.
bool noPortal(const QString& error);
// A portal without the interface asked for (older versions, or a desktop that lacks it).
bool noMember(const QString& error);
// Portals send the session handle as an object path or, in older versions, as a string.
QString objectPath(const QVariant& value);

}  // namespace Portal

// The requests one portal client has under way. A request's answer comes as a Response signal on
// a path known before the call, listened for first; answers from anyone but the portal that
// registered us, and answers to work dropped since, are ignored.
class PortalRequests : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(uint response, const QVariantMap& results)>;

    explicit PortalRequests(QDBusConnection bus, QObject* parent = nullptr);

    // Bumped whenever the work under way is dropped; late answers to older work are ignored.
    quint64 attempt() const { return m_attempt; }
    void nextAttempt() { ++m_attempt; }
    // Listens for the Response to the request made with `token`; gives the request's path.
    QString expect(const QString& token, Handler handler);
    void forget(const QString& path);
    void forgetAll();
    // Sends `message`; an error reply cancels the Response awaited on `request`. `onReply` runs
    // only if the work was not dropped meanwhile.
    void call(const QDBusMessage& message, const QString& request,
              std::function<void(const QDBusMessage&)> onReply);
    // Tells the portal our app id (older portals lack the registry and need none), then
    // `registered`; no portal at all goes to `missing` with the error reply.
    void registerApp(std::function<void()> registered,
                     std::function<void(const QDBusMessage&)> missing);
    // The portal's unique name, from its reply to us; its signals alone count from then on.
    void setPortal(const QDBusMessage& reply);
    void clearPortal() { m_portal.clear(); }
    bool fromPortal(const QDBusMessage& message) const;
    // Without starting a portal for it.
    void closeSession(const QString& path) const;

private slots:
    void onResponse(const QDBusMessage& message);

private:
    QDBusConnection m_bus;
    quint64 m_attempt = 0;
    QString m_portal;
    QHash<QString, Handler> m_requests;
};

}  // namespace orv
