#pragma once

#include "platform/ApplicationId.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <chrono>

namespace orv {

// Notices through the desktop's notification server (org.freedesktop.Notifications), as the
// program's own: its name, its icon and its desktop entry, which desktops group them by. Sending
// never waits; a server that is not there, refuses or does not answer in time is told through
// `notShown`, so that the notice can be given another way.
class DesktopNotifications : public QObject {
    Q_OBJECT

public:
    static inline const QString service = QStringLiteral("org.freedesktop.Notifications");
    static inline const QString path = QStringLiteral("/org/freedesktop/Notifications");
    static inline const QString appName = QStringLiteral("Orvantide");
    static inline const QString desktopEntry = applicationId;
    static constexpr std::chrono::milliseconds answerLimit{5000};
    // How long the server shows a notice, where it lets the sender say.
    static constexpr int expireTimeout = 6000;

    explicit DesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                  QObject* parent = nullptr);

    void notify(const QString& summary, const QString& body);

signals:
    void notShown(const QString& summary, const QString& body);

private:
    QDBusConnection m_bus;
};

}  // namespace orv
