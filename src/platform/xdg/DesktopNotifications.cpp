#include "platform/xdg/DesktopNotifications.h"

#include "logging/Logging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QVariantMap>

namespace orv {

DesktopNotifications::DesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {}

void DesktopNotifications::notify(const QString& summary, const QString& body) {
    // A call on a bus that is not there never answers.
    if (!m_bus.isConnected()) {
        qCInfo(lcNotifications) << "no notification shown: no session bus";
        QMetaObject::invokeMethod(
            this, [this, summary, body] { emit notShown(summary, body); }, Qt::QueuedConnection);
        return;
    }
    QDBusMessage message = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // Normal urgency: GNOME Shell shows no banner for a low one. Transient: a hint that is no
    // use later stays out of the notification list.
    const QVariantMap hints{
        {QStringLiteral("desktop-entry"), desktopEntry},
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))},
        {QStringLiteral("transient"), true},
    };
    message << appName << uint(0) << desktopEntry << summary << body << QStringList() << hints
            << expireTimeout;
    auto* answer =
        new QDBusPendingCallWatcher(m_bus.asyncCall(message, int(answerLimit.count())), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this, summary, body](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusMessage reply = done->reply();
                if (reply.type() != QDBusMessage::ReplyMessage) {
                    qCInfo(lcNotifications)
                        << "no notification shown:" << reply.errorName() << reply.errorMessage();
                    emit notShown(summary, body);
                }
            });
}

}  // namespace orv
