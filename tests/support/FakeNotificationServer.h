#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

namespace orv {

// One Notify call as the server received it.
struct Notice {
    QString app;
    uint replaces = 0;
    QString icon;
    QString summary;
    QString body;
    QStringList actions;
    QVariantMap hints;
    int timeout = 0;
};

// org.freedesktop.Notifications on a session-bus connection of its own, for tests that play the
// desktop's notification server. A silent server takes the call and never answers.
class FakeNotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    explicit FakeNotificationServer(bool silent = false);
    ~FakeNotificationServer() override;

    QList<Notice> notices;

public slots:
    uint Notify(const QString& app, uint replaces, const QString& icon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints,
                int timeout);

private:
    bool m_silent;
    QDBusConnection m_bus;
    QList<QDBusMessage> m_held;
};

}  // namespace orv
