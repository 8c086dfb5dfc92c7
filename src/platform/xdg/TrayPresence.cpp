#include "platform/xdg/TrayPresence.h"

#include "logging/Logging.h"
#include "platform/DesktopHints.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace orv {

namespace {

const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");
}  // namespace

TrayPresence::TrayPresence(QDBusConnection bus, QObject* parent)
    : QObject(parent),
      m_bus(std::move(bus)),
      m_watcher(new QDBusServiceWatcher(watcherService, m_bus,
                                        QDBusServiceWatcher::WatchForRegistration, this)) {
    connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &TrayPresence::askWatcher);
    // A watcher may take its name before its host is up (a panel still loading).
    m_bus.connect(watcherService, watcherPath, watcherInterface,
                  QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(hostRegistered()));
}

TrayPresence::~TrayPresence() = default;

void TrayPresence::start() {
    m_started = true;
    const bool xembed = DesktopHints::forSession().watchTray(this, [this] {
        if (!m_found) {
            qCInfo(lcTray) << "an XEmbed tray started";
            setFound();
        }
    });
    if (xembed) {
        setFound();
        return;
    }
    askWatcher();
}

void TrayPresence::askWatcher() {
    if (!m_started || m_found) {
        return;
    }
    QDBusMessage ask = QDBusMessage::createMethodCall(
        watcherService, watcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    ask << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    // A watcher that is not running is no tray: nothing is started for it.
    ask.setAutoStartService(false);
    auto* answer =
        new QDBusPendingCallWatcher(m_bus.asyncCall(ask, int(answerLimit.count())), this);
    connect(answer, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusMessage reply = done->reply();
                if (reply.type() == QDBusMessage::ErrorMessage) {
                    if (reply.errorName() != u"org.freedesktop.DBus.Error.ServiceUnknown" &&
                        reply.errorName() != u"org.freedesktop.DBus.Error.NameHasNoOwner") {
                        qCInfo(lcTray)
                            << "the StatusNotifierWatcher did not answer:" << reply.errorName()
                            << reply.errorMessage();
                    }
                    return;
                }
                if (reply.arguments().value(0).value<QDBusVariant>().variant().toBool()) {
                    qCInfo(lcTray) << "a StatusNotifierWatcher with a host is there";
                    setFound();
                }
            });
}

void TrayPresence::hostRegistered() {
    if (m_started && !m_found) {
        qCInfo(lcTray) << "a StatusNotifierHost registered";
        setFound();
    }
}

void TrayPresence::setFound() {
    if (m_found) {
        return;
    }
    m_found = true;
    emit found();
}

}  // namespace orv
