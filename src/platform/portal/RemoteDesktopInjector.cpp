#include "platform/portal/RemoteDesktopInjector.h"

#include "logging/Logging.h"
#include "platform/portal/Portal.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>

#include <optional>
#include <utility>

#include "platform/Keysyms.h"

namespace orv {

namespace {

const QString kRemote = QStringLiteral("org.freedesktop.portal.RemoteDesktop");

constexpr uint kKeyboard = 1;
// Until the user withdraws it, so later starts need not ask again.
constexpr uint kPersistUntilRevoked = 2;
constexpr uint kReleased = 0;
constexpr uint kPressed = 1;

const QString kRefused = QStringLiteral("El escritorio no permitió enviar teclas.");

}  // namespace

RemoteDesktopInjector::RemoteDesktopInjector(QString restoreToken, QDBusConnection bus,
                                             QObject* parent)
    : QObject(parent), m_bus(std::move(bus)), m_restoreToken(std::move(restoreToken)) {
    auto* watcher = new QDBusServiceWatcher(Portal::service, m_bus,
                                            QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString& newOwner) {
                portalChanged(oldOwner, newOwner);
            });
    start();
}

RemoteDesktopInjector::~RemoteDesktopInjector() {
    drop();
}

void RemoteDesktopInjector::start() {
    drop();
    m_awaitingPortal = false;
    settle(false, {});
    if (!m_bus.isConnected()) {
        fail(QStringLiteral("No hay conexión con el bus de la sesión."));
        return;
    }
    if (m_registered) {
        createSession();
    } else {
        registerApp();
    }
}

bool RemoteDesktopInjector::tap(QKeyCombination key) {
    const std::optional<quint32> keysym = Keysyms::keysym(key);
    if (!m_ready || !keysym) {
        return false;
    }
    const std::pair<Qt::KeyboardModifier, Qt::Key> modifiers[] = {
        {Qt::ControlModifier, Qt::Key_Control},
        {Qt::AltModifier, Qt::Key_Alt},
        {Qt::ShiftModifier, Qt::Key_Shift},
        {Qt::MetaModifier, Qt::Key_Super_L},
    };
    QList<int> held;
    for (const auto& [modifier, modifierKey] : modifiers) {
        if (key.keyboardModifiers().testFlag(modifier)) {
            held << int(*Keysyms::keysym(modifierKey));
        }
    }
    for (const int modifier : held) {
        notify(modifier, kPressed);
    }
    notify(int(*keysym), kPressed);
    notify(int(*keysym), kReleased);
    for (auto it = held.crbegin(); it != held.crend(); ++it) {
        notify(*it, kReleased);
    }
    return true;
}

void RemoteDesktopInjector::registerApp() {
    m_requests.registerApp(
        [this] {
            m_registered = true;
            createSession();
        },
        [this](const QDBusMessage& reply) { failCall(reply); });
}

void RemoteDesktopInjector::createSession() {
    const QString token = Portal::nextToken();
    const quint64 attempt = m_requests.attempt();
    const QString request = m_requests.expect(token, [this, attempt](uint response,
                                                                     const QVariantMap& results) {
        if (attempt != m_requests.attempt()) {
            return;
        }
        const QString session = Portal::objectPath(results.value(QStringLiteral("session_handle")));
        if (response != 0 || session.isEmpty()) {
            qCWarning(lcKeys) << "the desktop gave no remote desktop session, response" << response;
            fail(kRefused);
            return;
        }
        if (session != m_session) {
            watchSession(session);
        }
        selectDevices();
    });
    // Watched before the call, so that no Closed goes unseen.
    watchSession(Portal::handlePath(m_bus, QStringLiteral("session"), token));
    QDBusMessage message = QDBusMessage::createMethodCall(Portal::service, Portal::path, kRemote,
                                                          QStringLiteral("CreateSession"));
    message << QVariantMap{{QStringLiteral("handle_token"), token},
                           {QStringLiteral("session_handle_token"), token}};
    call(message, request);
}

void RemoteDesktopInjector::selectDevices() {
    const QString token = Portal::nextToken();
    const quint64 attempt = m_requests.attempt();
    const QString request =
        m_requests.expect(token, [this, attempt](uint response, const QVariantMap&) {
            if (attempt != m_requests.attempt()) {
                return;
            }
            if (response != 0) {
                qCWarning(lcKeys) << "the desktop declined the keyboard, response" << response;
                fail(kRefused);
                return;
            }
            startSession();
        });
    QVariantMap options{{QStringLiteral("handle_token"), token},
                        {QStringLiteral("types"), kKeyboard},
                        {QStringLiteral("persist_mode"), kPersistUntilRevoked}};
    if (!m_restoreToken.isEmpty()) {
        options.insert(QStringLiteral("restore_token"), m_restoreToken);
    }
    QDBusMessage message = QDBusMessage::createMethodCall(Portal::service, Portal::path, kRemote,
                                                          QStringLiteral("SelectDevices"));
    message << QVariant::fromValue(QDBusObjectPath(m_session)) << options;
    call(message, request);
}

void RemoteDesktopInjector::startSession() {
    const QString token = Portal::nextToken();
    const quint64 attempt = m_requests.attempt();
    const QString request = m_requests.expect(token, [this, attempt](uint response,
                                                                     const QVariantMap& results) {
        if (attempt != m_requests.attempt()) {
            return;
        }
        if (response != 0) {
            qCInfo(lcKeys) << "the desktop did not start the session, response" << response;
            fail(response == 1
                     ? kRefused
                     : QStringLiteral("El escritorio interrumpió la petición para enviar teclas."));
            return;
        }
        started(results);
    });
    QDBusMessage message = QDBusMessage::createMethodCall(Portal::service, Portal::path, kRemote,
                                                          QStringLiteral("Start"));
    message << QVariant::fromValue(QDBusObjectPath(m_session)) << QString()
            << QVariantMap{{QStringLiteral("handle_token"), token}};
    call(message, request);
}

void RemoteDesktopInjector::started(const QVariantMap& results) {
    // A token is good for one start only: the one we passed is spent even when no new one came.
    const QString token = results.value(QStringLiteral("restore_token")).toString();
    if (token != m_restoreToken) {
        m_restoreToken = token;
        emit restoreTokenChanged(m_restoreToken);
    }
    const QVariant devices = results.value(QStringLiteral("devices"));
    if (devices.isValid() && !(devices.toUInt() & kKeyboard)) {
        qCWarning(lcKeys) << "the session came without a keyboard, devices" << devices.toUInt();
        fail(QStringLiteral("El escritorio no permitió usar el teclado."));
        return;
    }
    qCInfo(lcKeys) << "remote desktop session ready";
    settle(true, {});
}

void RemoteDesktopInjector::call(const QDBusMessage& message, const QString& request) {
    m_requests.call(message, request, [this](const QDBusMessage& reply) {
        if (Portal::isError(reply)) {
            failCall(reply);
        }
    });
}

void RemoteDesktopInjector::watchSession(const QString& path) {
    unwatchSession();
    m_session = path;
    m_bus.connect(QString(), m_session, Portal::session, QStringLiteral("Closed"), this,
                  SLOT(onClosed(QDBusMessage)));
}

QString RemoteDesktopInjector::unwatchSession() {
    if (!m_session.isEmpty()) {
        m_bus.disconnect(QString(), m_session, Portal::session, QStringLiteral("Closed"), this,
                         SLOT(onClosed(QDBusMessage)));
    }
    return std::exchange(m_session, {});
}

void RemoteDesktopInjector::onClosed(const QDBusMessage& message) {
    if (message.path() != m_session || !m_requests.fromPortal(message)) {
        return;
    }
    qCInfo(lcKeys) << "the desktop closed the remote desktop session";
    // Nothing left to close.
    unwatchSession();
    fail(QStringLiteral("El escritorio cerró la sesión para enviar teclas."));
}

void RemoteDesktopInjector::notify(int keysym, uint state) {
    QDBusMessage message = QDBusMessage::createMethodCall(Portal::service, Portal::path, kRemote,
                                                          QStringLiteral("NotifyKeyboardKeysym"));
    message << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << keysym << state;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [](QDBusPendingCallWatcher* done) {
        done->deleteLater();
        if (done->isError()) {
            qCWarning(lcKeys) << "the desktop did not take a key:" << done->error().name()
                              << done->error().message();
        }
    });
}

void RemoteDesktopInjector::fail(const QString& failure) {
    drop();
    settle(false, failure);
}

void RemoteDesktopInjector::failCall(const QDBusMessage& error) {
    if (Portal::noPortal(error.errorName())) {
        qCInfo(lcKeys) << "no desktop portal on the bus:" << error.errorMessage();
        m_awaitingPortal = true;
        fail(QStringLiteral("No hay ningún portal del escritorio en esta sesión."));
    } else if (Portal::noMember(error.errorName())) {
        qCWarning(lcKeys) << "the desktop portal has no remote desktop:" << error.errorMessage();
        fail(QStringLiteral("El portal del escritorio no permite enviar teclas."));
    } else {
        qCWarning(lcKeys) << "the desktop portal refused the remote desktop:" << error.errorName()
                          << error.errorMessage();
        fail(QStringLiteral("El portal del escritorio rechazó la petición para enviar teclas (%1).")
                 .arg(error.errorName()));
    }
}

void RemoteDesktopInjector::drop() {
    m_requests.nextAttempt();
    m_requests.forgetAll();
    const QString session = unwatchSession();
    if (session.isEmpty()) {
        return;
    }
    m_requests.closeSession(session);
}

void RemoteDesktopInjector::settle(bool ready, const QString& failure) {
    if (ready == m_ready && failure == m_failure) {
        return;
    }
    m_ready = ready;
    m_failure = failure;
    emit readyChanged();
}

void RemoteDesktopInjector::portalChanged(const QString& oldOwner, const QString& newOwner) {
    if (!oldOwner.isEmpty()) {
        // Its sessions and requests went with it.
        m_requests.clearPortal();
        m_registered = false;
        if (!m_session.isEmpty()) {
            unwatchSession();
            m_awaitingPortal = true;
            fail(QStringLiteral("El portal del escritorio se cerró."));
        }
    }
    if (!newOwner.isEmpty() && std::exchange(m_awaitingPortal, false)) {
        qCInfo(lcKeys) << "a desktop portal appeared: asking for the keyboard again";
        start();
    }
}

}  // namespace orv
