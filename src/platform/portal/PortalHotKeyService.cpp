#include "platform/portal/PortalHotKeyService.h"

#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QLoggingCategory>

#include <xkbcommon/xkbcommon.h>

#include <utility>

#include "platform/x11/X11Keysyms.h"

namespace orv {

namespace {

Q_LOGGING_CATEGORY(lcPortal, "orv.portal")

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kRegistry = QStringLiteral("org.freedesktop.host.portal.Registry");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequest = QStringLiteral("org.freedesktop.portal.Request");
const QString kSession = QStringLiteral("org.freedesktop.portal.Session");
const QString kAppId = QStringLiteral("com.quarnelbrisk.orvantide");
const QString kShortcutId = QStringLiteral("toggle");
const QString kDescription = QStringLiteral("Abrir o cerrar el historial del portapapeles");

// a(sa{sv}): shortcut ids with their properties.
using Shortcuts = QList<std::pair<QString, QVariantMap>>;

bool isError(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ErrorMessage;
}

// No portal on the bus, and none could be started.
bool noPortal(const QString& error) {
    return error == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
           error.startsWith(QLatin1String("org.freedesktop.DBus.Error.Spawn"));
}

// A portal without the interface asked for (older versions, or a desktop that lacks it).
bool noMember(const QString& error) {
    return error == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") ||
           error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
           error == QLatin1String("org.freedesktop.DBus.Error.UnknownObject");
}

// Portals send the session handle as an object path or, in older versions, as a string.
QString objectPath(const QVariant& value) {
    if (value.metaType() == QMetaType::fromType<QDBusObjectPath>()) {
        return value.value<QDBusObjectPath>().path();
    }
    return value.toString();
}

}  // namespace

QString portalTrigger(QKeyCombination combination) {
    const std::optional<quint32> keysym = X11Keysyms::keysym(combination);
    char name[64];
    if (!keysym || xkb_keysym_get_name(*keysym, name, sizeof name) <= 0) {
        return {};
    }
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    QStringList parts;
    if (modifiers.testFlag(Qt::ControlModifier)) {
        parts << QStringLiteral("CTRL");
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        parts << QStringLiteral("ALT");
    }
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        parts << QStringLiteral("SHIFT");
    }
    if (modifiers.testFlag(Qt::MetaModifier)) {
        parts << QStringLiteral("LOGO");
    }
    parts << QString::fromLatin1(name);
    return parts.join(QLatin1Char('+'));
}

PortalHotKeyService::PortalHotKeyService(QDBusConnection bus, QObject* parent)
    : HotKeyService(parent), m_bus(std::move(bus)) {
    qDBusRegisterMetaType<std::pair<QString, QVariantMap>>();
    qDBusRegisterMetaType<Shortcuts>();
    auto* watcher =
        new QDBusServiceWatcher(kService, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                portalChanged(oldOwner, newOwner);
            });
    // Any sender: naming the portal here would make QtDBus ask the bus for its owner, blocking.
    m_bus.connect(QString(), kPath, kShortcuts, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
}

PortalHotKeyService::~PortalHotKeyService() {
    ungrab();
}

int PortalHotKeyService::grab(QKeyCombination combination) {
    if (m_combination == combination) {
        return 0;
    }
    ungrab();
    if (portalTrigger(combination).isEmpty()) {
        return badValue;
    }
    if (!m_bus.isConnected() || m_absent) {
        m_awaitingPortal = true;
        return unavailable;
    }
    m_combination = combination;
    start();
    return 0;
}

void PortalHotKeyService::ungrab() {
    ++m_attempt;
    close(std::exchange(m_session, {}));
    m_combination.reset();
    m_triggerDescription.clear();
    m_awaitingPortal = false;
}

void PortalHotKeyService::start() {
    ++m_attempt;
    if (m_registered) {
        createSession();
    } else {
        registerApp();
    }
}

// A host app tells the portal its id first; older portals lack the registry and need none.
void PortalHotKeyService::registerApp() {
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, kPath, kRegistry, QStringLiteral("Register"));
    message << kAppId << QVariantMap();
    call(message, {}, [this](const QDBusMessage& reply) {
        const QString error = isError(reply) ? reply.errorName() : QString();
        if (noPortal(error)) {
            fail(reply, {});
            return;
        }
        if (!error.isEmpty() && !noMember(error)) {
            qCWarning(lcPortal) << "cannot register the app id:" << error << reply.errorMessage();
        }
        // An error from the portal names it too; one from the bus or from libdbus does not.
        m_portal = reply.service().startsWith(QLatin1Char(':')) ? reply.service() : QString();
        m_registered = true;
        createSession();
    });
}

void PortalHotKeyService::createSession() {
    const QString token = QStringLiteral("orvantide%1").arg(++m_tokens);
    const quint64 attempt = m_attempt;
    const QString request =
        expectResponse(token, [this, attempt](uint response, const QVariantMap& results) {
            const QString session = objectPath(results.value(QStringLiteral("session_handle")));
            if (attempt != m_attempt) {
                // Dropped while the portal made it: nobody will use it.
                if (response == 0) {
                    close(session);
                }
                return;
            }
            if (response != 0 || session.isEmpty()) {
                qCWarning(lcPortal) << "the desktop gave no shortcut session, response" << response;
                refuse(refusedByDesktop);
                return;
            }
            m_session = session;
            bindShortcuts();
        });
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kShortcuts,
                                                          QStringLiteral("CreateSession"));
    message << QVariantMap{{QStringLiteral("handle_token"), token},
                           {QStringLiteral("session_handle_token"), token}};
    call(message, request, [this, request](const QDBusMessage& reply) {
        if (isError(reply)) {
            fail(reply, request);
        }
    });
}

void PortalHotKeyService::bindShortcuts() {
    const QString token = QStringLiteral("orvantide%1").arg(++m_tokens);
    const quint64 attempt = m_attempt;
    const QString request =
        expectResponse(token, [this, attempt](uint response, const QVariantMap& results) {
            if (attempt != m_attempt) {
                return;
            }
            if (response != 0) {
                qCWarning(lcPortal) << "the desktop declined the shortcut, response" << response;
                refuse(refusedByDesktop);
                return;
            }
            const auto bound = qdbus_cast<Shortcuts>(results.value(QStringLiteral("shortcuts")));
            for (const auto& [id, properties] : bound) {
                if (id == kShortcutId) {
                    m_triggerDescription =
                        properties.value(QStringLiteral("trigger_description")).toString();
                }
            }
            qCInfo(lcPortal) << "shortcut bound, triggered by" << m_triggerDescription;
        });
    const Shortcuts shortcuts{
        {kShortcutId,
         {{QStringLiteral("description"), kDescription},
          {QStringLiteral("preferred_trigger"), portalTrigger(*m_combination)}}}};
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kShortcuts,
                                                          QStringLiteral("BindShortcuts"));
    message << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts)
            << QString() << QVariantMap{{QStringLiteral("handle_token"), token}};
    call(message, request, [this, request](const QDBusMessage& reply) {
        if (isError(reply)) {
            fail(reply, request);
        }
    });
}

void PortalHotKeyService::call(const QDBusMessage& message, const QString& request,
                               std::function<void(const QDBusMessage&)> onReply) {
    const quint64 attempt = m_attempt;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, attempt, request, onReply = std::move(onReply)](QDBusPendingCallWatcher* done) {
                done->deleteLater();
                const QDBusMessage reply = done->reply();
                if (isError(reply)) {
                    forgetRequest(request);
                }
                if (attempt == m_attempt) {
                    onReply(reply);
                }
            });
}

// The request's path is known before the call, so no Response can come before the subscription.
QString PortalHotKeyService::expectResponse(const QString& token, Handler handler) {
    const QString sender = m_bus.baseService().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
    const QString path = kPath + QStringLiteral("/request/%1/%2").arg(sender, token);
    m_requests.insert(path, std::move(handler));
    m_bus.connect(QString(), path, kRequest, QStringLiteral("Response"), this,
                  SLOT(onResponse(QDBusMessage)));
    return path;
}

void PortalHotKeyService::forgetRequest(const QString& path) {
    if (m_requests.remove(path) > 0) {
        m_bus.disconnect(QString(), path, kRequest, QStringLiteral("Response"), this,
                         SLOT(onResponse(QDBusMessage)));
    }
}

void PortalHotKeyService::onResponse(const QDBusMessage& message) {
    const Handler handler = m_requests.value(message.path());
    if (!handler || !fromPortal(message)) {
        return;
    }
    forgetRequest(message.path());
    const QList<QVariant> arguments = message.arguments();
    handler(arguments.value(0).toUInt(), qdbus_cast<QVariantMap>(arguments.value(1)));
}

void PortalHotKeyService::onActivated(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (m_session.isEmpty() || !fromPortal(message) || arguments.size() < 2) {
        return;
    }
    if (objectPath(arguments.at(0)) == m_session && arguments.at(1).toString() == kShortcutId) {
        emit pressed(1);
    }
}

void PortalHotKeyService::fail(const QDBusMessage& error, const QString& request) {
    forgetRequest(request);
    if (noPortal(error.errorName())) {
        qCInfo(lcPortal) << "no desktop portal on the bus:" << error.errorMessage();
        m_absent = true;
        refuse(unavailable);
    } else if (noMember(error.errorName())) {
        qCWarning(lcPortal) << "the desktop portal has no global shortcuts:"
                            << error.errorMessage();
        refuse(unavailable);
    } else {
        qCWarning(lcPortal) << "the desktop portal refused the shortcut:" << error.errorName()
                            << error.errorMessage();
        refuse(refusedByDesktop);
    }
}

void PortalHotKeyService::refuse(int status) {
    ungrab();
    m_awaitingPortal = status == unavailable;
    emit refused(status);
}

void PortalHotKeyService::close(const QString& session) {
    if (session.isEmpty()) {
        return;
    }
    QDBusMessage message =
        QDBusMessage::createMethodCall(kService, session, kSession, QStringLiteral("Close"));
    // Closing is no reason to start a portal.
    message.setAutoStartService(false);
    m_bus.send(message);
}

void PortalHotKeyService::portalChanged(const QString& oldOwner, const QString& newOwner) {
    if (!oldOwner.isEmpty()) {
        // Its sessions and requests went with it.
        for (const QString& path : m_requests.keys()) {
            forgetRequest(path);
        }
        m_portal.clear();
        m_registered = false;
        m_session.clear();
        m_triggerDescription.clear();
        if (m_combination) {
            qCInfo(lcPortal) << "the desktop portal quit: binding the shortcut again";
            start();
        }
    }
    if (!newOwner.isEmpty()) {
        m_absent = false;
        if (std::exchange(m_awaitingPortal, false)) {
            emit availabilityChanged();
        }
    }
}

bool PortalHotKeyService::fromPortal(const QDBusMessage& message) const {
    return m_portal.isEmpty() || message.service() == m_portal;
}

}  // namespace orv
