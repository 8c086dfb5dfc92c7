#include "platform/portal/PortalHotKeyService.h"

#include "logging/Logging.h"
#include "platform/portal/Portal.h"

#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

#include <utility>

#include "platform/Keysyms.h"

namespace orv {

namespace {

const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kShortcutId = QStringLiteral("toggle");
const QString kDescription = QStringLiteral("Abrir o cerrar el historial del portapapeles");

// a(sa{sv}): shortcut ids with their properties.
using Shortcuts = QList<std::pair<QString, QVariantMap>>;

// How the desktop says our shortcut is pressed: "trigger_description" in the portal's words,
// "triggers" in KDE's; empty when it gave the shortcut no key, or did not bind it at all.
QString triggerOf(const QVariant& shortcuts) {
    for (const auto& [id, properties] : qdbus_cast<Shortcuts>(shortcuts)) {
        if (id != kShortcutId) {
            continue;
        }
        for (const char* field : {"trigger_description", "triggers"}) {
            const QVariant value = properties.value(QLatin1String(field));
            const QStringList triggers = value.userType() == qMetaTypeId<QDBusArgument>()
                                             ? qdbus_cast<QStringList>(value)
                                             : value.toStringList();
            const QString joined = triggers.join(QStringLiteral(", ")).trimmed();
            if (!joined.isEmpty()) {
                return joined;
            }
        }
    }
    return {};
}

}  // namespace

QString portalTrigger(QKeyCombination combination) {
    const std::optional<quint32> keysym = Keysyms::keysym(combination);
    const QString name = keysym ? Keysyms::name(*keysym) : QString();
    if (name.isEmpty()) {
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
    parts << name;
    return parts.join(QLatin1Char('+'));
}

PortalHotKeyService::PortalHotKeyService(QDBusConnection bus, QObject* parent)
    : HotKeyService(parent), m_bus(std::move(bus)) {
    qDBusRegisterMetaType<std::pair<QString, QVariantMap>>();
    qDBusRegisterMetaType<Shortcuts>();
    auto* watcher = new QDBusServiceWatcher(Portal::service, m_bus,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                portalChanged(oldOwner, newOwner);
            });
    // Any sender: naming the portal here would make QtDBus ask the bus for its owner, blocking.
    m_bus.connect(QString(), Portal::path, kShortcuts, QStringLiteral("Activated"), this,
                  SLOT(onActivated(QDBusMessage)));
    m_bus.connect(QString(), Portal::path, kShortcuts, QStringLiteral("ShortcutsChanged"), this,
                  SLOT(onShortcutsChanged(QDBusMessage)));
}

PortalHotKeyService::~PortalHotKeyService() {
    ungrab();
}

int PortalHotKeyService::grab(QKeyCombination combination) {
    if (m_combination == combination) {
        return m_session.isEmpty() || !m_triggerDescription.isEmpty() ? 0 : noKeyAssigned;
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
    m_requests.nextAttempt();
    close(std::exchange(m_session, {}));
    m_combination.reset();
    m_triggerDescription.clear();
    m_awaitingPortal = false;
}

void PortalHotKeyService::start() {
    m_requests.nextAttempt();
    if (m_registered) {
        createSession();
    } else {
        registerApp();
    }
}

void PortalHotKeyService::registerApp() {
    m_requests.registerApp(
        [this] {
            m_registered = true;
            createSession();
        },
        [this](const QDBusMessage& reply) { fail(reply, {}); });
}

void PortalHotKeyService::createSession() {
    const QString token = Portal::nextToken();
    const quint64 attempt = m_requests.attempt();
    const QString request =
        m_requests.expect(token, [this, attempt](uint response, const QVariantMap& results) {
            const QString session =
                Portal::objectPath(results.value(QStringLiteral("session_handle")));
            if (attempt != m_requests.attempt()) {
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
    QDBusMessage message = QDBusMessage::createMethodCall(Portal::service, Portal::path, kShortcuts,
                                                          QStringLiteral("CreateSession"));
    message << QVariantMap{{QStringLiteral("handle_token"), token},
                           {QStringLiteral("session_handle_token"), token}};
    m_requests.call(message, request, [this, request](const QDBusMessage& reply) {
        if (Portal::isError(reply)) {
            fail(reply, request);
        }
    });
}

void PortalHotKeyService::bindShortcuts() {
    const QString token = Portal::nextToken();
    const quint64 attempt = m_requests.attempt();
    const QString request =
        m_requests.expect(token, [this, attempt](uint response, const QVariantMap& results) {
            if (attempt != m_requests.attempt()) {
                return;
            }
            if (response != 0) {
                qCWarning(lcPortal) << "the desktop declined the shortcut, response" << response;
                refuse(refusedByDesktop);
                return;
            }
            m_triggerDescription = triggerOf(results.value(QStringLiteral("shortcuts")));
            if (m_triggerDescription.isEmpty()) {
                // Not a binding, but the session stays: the user may give it a key later.
                qCWarning(lcPortal) << "the desktop took the shortcut without giving it a key";
                emit refused(noKeyAssigned);
                return;
            }
            qCInfo(lcPortal) << "shortcut bound, triggered by" << m_triggerDescription;
            emit bound();
        });
    const Shortcuts shortcuts{
        {kShortcutId,
         {{QStringLiteral("description"), kDescription},
          {QStringLiteral("preferred_trigger"), portalTrigger(*m_combination)}}}};
    QDBusMessage message = QDBusMessage::createMethodCall(Portal::service, Portal::path, kShortcuts,
                                                          QStringLiteral("BindShortcuts"));
    message << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts)
            << QString() << QVariantMap{{QStringLiteral("handle_token"), token}};
    m_requests.call(message, request, [this, request](const QDBusMessage& reply) {
        if (Portal::isError(reply)) {
            fail(reply, request);
        }
    });
}

void PortalHotKeyService::onActivated(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (m_session.isEmpty() || !m_requests.fromPortal(message) || arguments.size() < 2) {
        return;
    }
    if (Portal::objectPath(arguments.at(0)) == m_session &&
        arguments.at(1).toString() == kShortcutId) {
        emit pressed(1);
    }
}

void PortalHotKeyService::onShortcutsChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (m_session.isEmpty() || !m_requests.fromPortal(message) || arguments.size() < 2 ||
        Portal::objectPath(arguments.at(0)) != m_session) {
        return;
    }
    const bool hadKey = !m_triggerDescription.isEmpty();
    m_triggerDescription = triggerOf(arguments.at(1));
    qCInfo(lcPortal) << "the desktop changed the shortcut's key to" << m_triggerDescription;
    if (m_triggerDescription.isEmpty() == hadKey) {
        if (hadKey) {
            emit refused(noKeyAssigned);
        } else {
            emit bound();
            emit availabilityChanged();
        }
    }
}

void PortalHotKeyService::fail(const QDBusMessage& error, const QString& request) {
    m_requests.forget(request);
    if (Portal::noPortal(error.errorName())) {
        qCInfo(lcPortal) << "no desktop portal on the bus:" << error.errorMessage();
        m_absent = true;
        refuse(unavailable);
    } else if (Portal::noMember(error.errorName())) {
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
    m_requests.closeSession(session);
}

void PortalHotKeyService::portalChanged(const QString& oldOwner, const QString& newOwner) {
    if (!oldOwner.isEmpty()) {
        // Its sessions and requests went with it.
        m_requests.forgetAll();
        m_requests.clearPortal();
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

}  // namespace orv
