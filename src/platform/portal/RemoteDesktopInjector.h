#pragma once

#include "platform/KeyInjector.h"

#include "platform/portal/Portal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QHash>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace orv {

// Posts keys through the desktop portal's remote desktop (org.freedesktop.portal.RemoteDesktop):
// one keyboard-only session, which the desktop may first ask the user about. Made only when the
// user switched it on. The restore token of a granted session lets the next start skip the
// question; it is handed out through `restoreTokenChanged` for the settings to keep. Every call is
// asynchronous, so keys tapped before the session is ready are not posted.
class RemoteDesktopInjector : public QObject, public KeyInjector {
    Q_OBJECT

public:
    explicit RemoteDesktopInjector(QString restoreToken,
                                   QDBusConnection bus = QDBusConnection::sessionBus(),
                                   QObject* parent = nullptr);
    ~RemoteDesktopInjector() override;

    RemoteDesktopInjector(const RemoteDesktopInjector&) = delete;
    RemoteDesktopInjector& operator=(const RemoteDesktopInjector&) = delete;

    // Drops any session and asks for a new one; the constructor calls it.
    void start();

    // False until the session is ready, or for a key without a keysym.
    bool tap(QKeyCombination key) override;
    // Pasting is meant to work here even while the session is being set up.
    bool isAvailable() const override { return true; }

    bool isReady() const { return m_ready; }
    // Why there is no session, for the user; empty while ready or on the way.
    QString failure() const { return m_failure; }
    QString restoreToken() const { return m_restoreToken; }

signals:
    void readyChanged();
    void restoreTokenChanged(const QString& token);

private slots:
    void onClosed(const QDBusMessage& message);

private:
    void registerApp();
    void createSession();
    void selectDevices();
    void startSession();
    void started(const QVariantMap& results);
    // Sends `message`; an error reply gives up, and cancels the Response awaited on `request`.
    void call(const QDBusMessage& message, const QString& request);
    // Follows the Closed of the session at `path`, which replaces the one followed so far.
    void watchSession(const QString& path);
    QString unwatchSession();
    void notify(int keysym, uint state);
    // Gives up the session and the work under way, and tells why.
    void fail(const QString& failure);
    void failCall(const QDBusMessage& error);
    void drop();
    void settle(bool ready, const QString& failure);
    void portalChanged(const QString& oldOwner, const QString& newOwner);

    QDBusConnection m_bus;
    PortalRequests m_requests{m_bus};
    QString m_restoreToken;
    bool m_registered = false;
    // Asked for or granted; closed when dropped.
    QString m_session;
    bool m_ready = false;
    QString m_failure;
    // The last try found no portal: its arrival is worth a new one.
    bool m_awaitingPortal = false;
};

}  // namespace orv
