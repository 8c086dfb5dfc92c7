// A stand-in for the desktop portal's global shortcuts and remote desktop, for tests: owns
// org.freedesktop.portal.Desktop on the session bus, answers as its flags say and prints on stdout
// what it was asked ("register <app id>", "create-session", "bind <id> <preferred trigger>",
// "remote-session", "select <restore token>", "key <keysym> <state>", "close <session>"), after
// "ready". Standard input takes "activate <shortcut id>": an Activated, then a Deactivated, for the
// newest session, and "activated <shortcut id>" on stdout once both are sent; and "close-remote":
// a Closed for each started remote desktop session, then "closed-remote"; and "assign <id>
// <trigger>": a ShortcutsChanged giving the shortcut that trigger, then "assigned <id>".
//   --refuse         BindShortcuts answers 1, as when the user declines
//   --fail-session   CreateSession fails, registered or not
//   --no-registry    an older portal: no Register, and no app id needed
//   --no-shortcuts   a portal without the GlobalShortcuts interface
//   --refuse-remote  the remote desktop's Start answers 1
//   --no-trigger     BindShortcuts binds nothing, as KDE's 5.27 portal does for an empty app id
//   --triggers       the bound trigger comes as "triggers", as KDE's portal names it
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QHash>
#include <QSet>
#include <QSocketNotifier>

#include <unistd.h>

#include <cstdio>
#include <utility>

namespace {

using Shortcuts = QList<std::pair<QString, QVariantMap>>;

const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRemote = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
const QString kInvalid = QStringLiteral("org.freedesktop.portal.Error.InvalidArgument");

void say(const QString& line) {
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

class FakePortal : public QDBusVirtualObject {
public:
    explicit FakePortal(QStringList flags) : m_flags(std::move(flags)) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        const QString call = message.interface() + QLatin1Char('.') + message.member();
        const QList<QVariant> args = message.arguments();
        if (call == QLatin1String("org.freedesktop.host.portal.Registry.Register")) {
            if (m_flags.contains(QLatin1String("--no-registry"))) {
                return fail(message, bus,
                            QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                            QStringLiteral("No such interface"));
            }
            m_registered = true;
            say(QStringLiteral("register ") + args.value(0).toString());
            bus.send(message.createReply());
        } else if (call == kShortcuts + QLatin1String(".CreateSession")) {
            if (m_flags.contains(QLatin1String("--no-shortcuts"))) {
                return fail(message, bus,
                            QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
                            QStringLiteral("No such interface"));
            }
            if (m_flags.contains(QLatin1String("--fail-session")) ||
                (!m_registered && !m_flags.contains(QLatin1String("--no-registry")))) {
                return fail(message, bus, QStringLiteral("org.freedesktop.portal.Error.NotAllowed"),
                            QStringLiteral("An app id is required"));
            }
            const QVariantMap options = qdbus_cast<QVariantMap>(args.value(0));
            m_session = path(message, QStringLiteral("session"),
                             options.value(QStringLiteral("session_handle_token")).toString());
            say(QStringLiteral("create-session"));
            respond(message, bus, options, 0, {{QStringLiteral("session_handle"), m_session}});
        } else if (call == kShortcuts + QLatin1String(".BindShortcuts")) {
            auto shortcuts = qdbus_cast<Shortcuts>(args.value(1));
            const QString field = m_flags.contains(QLatin1String("--triggers"))
                                      ? QStringLiteral("triggers")
                                      : QStringLiteral("trigger_description");
            for (auto& [id, properties] : shortcuts) {
                const QString trigger =
                    properties.value(QStringLiteral("preferred_trigger")).toString();
                say(QStringLiteral("bind %1 %2").arg(id, trigger));
                properties = {{field, trigger}};
            }
            if (m_flags.contains(QLatin1String("--no-trigger"))) {
                shortcuts.clear();
            }
            const bool refuse = m_flags.contains(QLatin1String("--refuse"));
            respond(message, bus, qdbus_cast<QVariantMap>(args.value(3)), refuse ? 1 : 0,
                    {{QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts)}});
        } else if (message.interface() == kRemote) {
            return handleRemote(message, bus);
        } else if (call == QLatin1String("org.freedesktop.portal.Session.Close")) {
            m_selected.remove(message.path());
            m_started.remove(message.path());
            say(QStringLiteral("close ") + message.path());
            bus.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }

    void activate(const QString& id) {
        for (const QString& name : {QStringLiteral("Activated"), QStringLiteral("Deactivated")}) {
            QDBusMessage signal = QDBusMessage::createSignal(kPath, kShortcuts, name);
            signal << QVariant::fromValue(QDBusObjectPath(m_session)) << id << quint64(1)
                   << QVariantMap();
            QDBusConnection::sessionBus().send(signal);
        }
    }

    void assign(const QString& id, const QString& trigger) {
        QDBusMessage signal =
            QDBusMessage::createSignal(kPath, kShortcuts, QStringLiteral("ShortcutsChanged"));
        const Shortcuts shortcuts{{id, {{QStringLiteral("trigger_description"), trigger}}}};
        signal << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts);
        QDBusConnection::sessionBus().send(signal);
    }

    void closeRemote() {
        for (const QString& session : std::exchange(m_started, {})) {
            m_selected.remove(session);
            QDBusMessage signal = QDBusMessage::createSignal(
                session, QStringLiteral("org.freedesktop.portal.Session"),
                QStringLiteral("Closed"));
            signal << QVariantMap();
            QDBusConnection::sessionBus().send(signal);
        }
    }

private:
    // Like the real portal, option types are checked and sessions must be made, given their
    // devices and started in turn.
    bool handleRemote(const QDBusMessage& message, const QDBusConnection& bus) {
        const QList<QVariant> args = message.arguments();
        const QString session = qvariant_cast<QDBusObjectPath>(args.value(0)).path();
        if (message.member() == QLatin1String("CreateSession")) {
            if (!m_registered && !m_flags.contains(QLatin1String("--no-registry"))) {
                return fail(message, bus, QStringLiteral("org.freedesktop.portal.Error.NotAllowed"),
                            QStringLiteral("An app id is required"));
            }
            const QVariantMap options = qdbus_cast<QVariantMap>(args.value(0));
            const QString made =
                path(message, QStringLiteral("session"),
                     options.value(QStringLiteral("session_handle_token")).toString());
            m_selected.insert(made, {});
            say(QStringLiteral("remote-session"));
            respond(message, bus, options, 0, {{QStringLiteral("session_handle"), made}});
        } else if (!m_selected.contains(session)) {
            return fail(message, bus, kInvalid, QStringLiteral("No such session"));
        } else if (message.member() == QLatin1String("SelectDevices")) {
            const QVariantMap options = qdbus_cast<QVariantMap>(args.value(1));
            for (const char* key : {"types", "persist_mode"}) {
                const QVariant value = options.value(QLatin1String(key));
                if (value.isValid() && value.metaType() != QMetaType::fromType<uint>()) {
                    return fail(message, bus, kInvalid, QStringLiteral("Wrong option type"));
                }
            }
            m_selected.insert(session, options);
            say(QStringLiteral("select %1")
                    .arg(options.value(QStringLiteral("restore_token")).toString())
                    .trimmed());
            respond(message, bus, options, 0, {});
        } else if (message.member() == QLatin1String("Start")) {
            const QVariantMap selected = m_selected.value(session);
            // Every device type unless some were asked for.
            QVariantMap results{
                {QStringLiteral("devices"), selected.value(QStringLiteral("types"), 7u)}};
            if (selected.value(QStringLiteral("persist_mode")).toUInt() != 0) {
                results.insert(QStringLiteral("restore_token"),
                               QStringLiteral("token-%1").arg(++m_restoreTokens));
            }
            const bool refuse = m_flags.contains(QLatin1String("--refuse-remote"));
            if (!refuse) {
                m_started.insert(session);
            }
            respond(message, bus, qdbus_cast<QVariantMap>(args.value(2)), refuse ? 1 : 0, results);
        } else if (message.member() == QLatin1String("NotifyKeyboardKeysym")) {
            if (!m_started.contains(session) ||
                args.value(2).metaType() != QMetaType::fromType<int>()) {
                return fail(message, bus, kInvalid, QStringLiteral("Not a started session"));
            }
            say(QStringLiteral("key %1 %2").arg(args.value(2).toInt()).arg(args.value(3).toUInt()));
            bus.send(message.createReply());
        } else {
            return false;
        }
        return true;
    }

    static QString path(const QDBusMessage& message, const QString& kind, const QString& token) {
        const QString sender = message.service().mid(1).replace(QLatin1Char('.'), QLatin1Char('_'));
        return kPath + QStringLiteral("/%1/%2/%3").arg(kind, sender, token);
    }

    static bool fail(const QDBusMessage& message, const QDBusConnection& bus, const QString& name,
                     const QString& text) {
        bus.send(message.createErrorReply(name, text));
        return true;
    }

    // Like the real portal: the request's handle first, its Response after.
    static void respond(const QDBusMessage& message, const QDBusConnection& bus,
                        const QVariantMap& options, uint response, const QVariantMap& results) {
        const QString request = path(message, QStringLiteral("request"),
                                     options.value(QStringLiteral("handle_token")).toString());
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage signal = QDBusMessage::createSignal(
            request, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        signal << response << results;
        bus.send(signal);
    }

    QStringList m_flags;
    bool m_registered = false;
    QString m_session;
    // Remote desktop sessions with the options of their SelectDevices.
    QHash<QString, QVariantMap> m_selected;
    QSet<QString> m_started;
    int m_restoreTokens = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<std::pair<QString, QVariantMap>>();
    qDBusRegisterMetaType<Shortcuts>();
    FakePortal portal(app.arguments().mid(1));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(kPath, &portal, QDBusConnection::SubPath) ||
        !bus.registerService(QStringLiteral("org.freedesktop.portal.Desktop"))) {
        say(QStringLiteral("cannot own the portal's name: ") + bus.lastError().message());
        return 1;
    }

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[256];
        const ssize_t size = ::read(STDIN_FILENO, chunk, sizeof chunk);
        if (size <= 0) {
            app.quit();
            return;
        }
        pending.append(chunk, size);
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            const QString line = QString::fromUtf8(pending.left(end));
            if (line == QLatin1String("close-remote")) {
                portal.closeRemote();
                say(QStringLiteral("closed-remote"));
                continue;
            }
            const QString id = line.section(QLatin1Char(' '), 1, 1);
            if (line.startsWith(QLatin1String("assign "))) {
                portal.assign(id, line.section(QLatin1Char(' '), 2));
                say(QStringLiteral("assigned ") + id);
                continue;
            }
            portal.activate(id);
            say(QStringLiteral("activated ") + id);
        }
    });
    say(QStringLiteral("ready"));
    return app.exec();
}
