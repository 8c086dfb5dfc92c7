#include "commands/DBusService.h"

#include "commands/Commands.h"
#include "logging/Logging.h"

#include <QCoro/QCoroTask>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QFileInfo>
#include <QPointer>

namespace orv {

namespace {

// The bus's own flag: fail at once rather than queue behind the owner.
constexpr uint kDoNotQueue = 0x4;
constexpr uint kPrimaryOwner = 1;

void logActivation(const QVariantMap& platformData) {
    // The palette is an X11 window that asks for the focus itself; the token is only logged.
    for (const char* key : {"activation-token", "desktop-startup-id"}) {
        if (platformData.contains(QLatin1String(key))) {
            qCDebug(lcDBus) << key << platformData.value(QLatin1String(key)).toString();
        }
    }
}

class ApplicationAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Application")
    // Open is not offered: there are no files to open.
    Q_CLASSINFO("D-Bus Introspection",
                "<interface name=\"org.freedesktop.Application\">"
                "<method name=\"Activate\">"
                "<arg name=\"platform_data\" type=\"a{sv}\" direction=\"in\"/>"
                "<annotation name=\"org.qtproject.QtDBus.QtTypeName.In0\" value=\"QVariantMap\"/>"
                "</method>"
                "<method name=\"ActivateAction\">"
                "<arg name=\"action_name\" type=\"s\" direction=\"in\"/>"
                "<arg name=\"parameter\" type=\"av\" direction=\"in\"/>"
                "<arg name=\"platform_data\" type=\"a{sv}\" direction=\"in\"/>"
                "<annotation name=\"org.qtproject.QtDBus.QtTypeName.In2\" value=\"QVariantMap\"/>"
                "</method>"
                "</interface>")

public:
    ApplicationAdaptor(QObject* parent, Commands& commands, QDBusConnection bus)
        : QDBusAbstractAdaptor(parent), m_commands(&commands), m_bus(std::move(bus)) {}

public slots:
    void Activate(const QVariantMap& platformData) {
        logActivation(platformData);
        qCInfo(lcDBus) << "Activate";
        if (m_commands) {
            m_commands->activate(QStringLiteral("toggle"));
        }
    }

    void ActivateAction(const QString& name, const QVariantList& parameter,
                        const QVariantMap& platformData, const QDBusMessage& message) {
        Q_UNUSED(parameter)
        logActivation(platformData);
        qCInfo(lcDBus).noquote() << "ActivateAction" << name;
        if (!m_commands || !m_commands->activate(name)) {
            message.setDelayedReply(true);
            m_bus.send(message.createErrorReply(
                QDBusError::InvalidArgs,
                QStringLiteral(
                    "Acción desconocida «%1»: hay toggle, preferences, clear y permissions")
                    .arg(name)));
        }
    }

private:
    QPointer<Commands> m_commands;
    QDBusConnection m_bus;
};

QCoro::Task<> replyLater(QPointer<Commands> commands, QDBusConnection bus, QDBusMessage call,
                         QStringList arguments, QByteArray input) {
    CommandResult result{1, {}, QStringLiteral("Orvantide se está cerrando")};
    if (commands) {
        result = co_await commands->run(std::move(arguments), std::move(input));
    }
    bus.send(call.createReply({result.status, result.output, result.message}));
}

class CommandsAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", ORV_APPLICATION_ID ".Commands")
    // clang-format off
    Q_CLASSINFO("D-Bus Introspection",
                "<interface name=\"" ORV_APPLICATION_ID ".Commands\">"
                "<method name=\"Run\">"
                "<arg name=\"arguments\" type=\"as\" direction=\"in\"/>"
                "<arg name=\"input\" type=\"ay\" direction=\"in\"/>"
                "<arg name=\"status\" type=\"i\" direction=\"out\"/>"
                "<arg name=\"output\" type=\"ay\" direction=\"out\"/>"
                "<arg name=\"message\" type=\"s\" direction=\"out\"/>"
                "</method>"
                "</interface>")
    // clang-format on

public:
    CommandsAdaptor(QObject* parent, Commands& commands, QDBusConnection bus)
        : QDBusAbstractAdaptor(parent), m_commands(&commands), m_bus(std::move(bus)) {}

public slots:
    // Answered once the command has run; the values here only name the reply's arguments.
    int Run(const QStringList& arguments, const QByteArray& input, const QDBusMessage& message,
            QByteArray& output, QString& text) {
        Q_UNUSED(output)
        Q_UNUSED(text)
        qCInfo(lcDBus).noquote() << "Run" << arguments.value(0);
        message.setDelayedReply(true);
        // GLib's byte strings (gdbus call … "b'texto'") end with a NUL that is not part of them.
        QByteArray bytes = input;
        if (bytes.endsWith('\0')) {
            bytes.chop(1);
        }
        replyLater(m_commands, m_bus, message, arguments, std::move(bytes));
        return 0;
    }

private:
    QPointer<Commands> m_commands;
    QDBusConnection m_bus;
};

}  // namespace

DBusService::DBusService(Commands& commands, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_bus(std::move(bus)) {
    // Owned by this object, as adaptors are.
    new ApplicationAdaptor(this, commands, m_bus);
    new CommandsAdaptor(this, commands, m_bus);
}

bool DBusService::sessionBusAdvertised() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") ||
           (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") &&
            QFileInfo::exists(qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/bus")));
}

bool DBusService::start() {
    if (!m_bus.isConnected()) {
        qCInfo(lcDBus) << "no session bus: Orvantide is not on D-Bus"
                       << m_bus.lastError().message();
        return false;
    }
    if (!m_bus.registerObject(objectPath, this, QDBusConnection::ExportAdaptors)) {
        qCWarning(lcDBus) << "cannot serve" << objectPath << m_bus.lastError().message();
        return false;
    }
    QDBusMessage request = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("RequestName"));
    request << serviceName << kDoNotQueue;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(request), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, watcher] {
        watcher->deleteLater();
        const QDBusPendingReply<uint> reply = *watcher;
        const bool owned = !reply.isError() && reply.value() == kPrimaryOwner;
        if (owned) {
            qCInfo(lcDBus).noquote() << "on the session bus as" << serviceName;
        } else {
            // Another instance (another display) has it: the socket still serves this one.
            qCInfo(lcDBus).noquote()
                << "the bus name" << serviceName << "is not ours:"
                << (reply.isError() ? reply.error().message() : QStringLiteral("taken"));
        }
        emit nameRequested(owned);
    });
    return true;
}

}  // namespace orv

#include "DBusService.moc"
