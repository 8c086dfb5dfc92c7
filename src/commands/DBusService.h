#pragma once

#include "platform/ApplicationId.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>

namespace orv {

class Commands;

// Orvantide on the session bus, as com.quarnelbrisk.orvantide, object /com/quarnelbrisk/orvantide:
//
//   org.freedesktop.Application (what desktops and `gapplication` call)
//     Activate(a{sv} platform_data)                 opens or closes the palette
//     ActivateAction(s name, av parameter, a{sv} platform_data)
//                                                   "toggle", "preferences", or "clear" (which
//                                                   asks first, as the tray does)
//   com.quarnelbrisk.orvantide.Commands (for other programs)
//     Run(as arguments, ay input) -> (i status, ay output, s message)
//                                                   a subcommand as `orvantide` takes it
//                                                   (["list", "--json"], ["get", "42"]); `input`
//                                                   is the text for "add"; `status` is the exit
//                                                   status (0, 1 with `message`, 2 usage)
//
// Every call is answered without the palette waiting. Without a session bus, or with the name
// taken by another instance, the program goes on without it.
class DBusService : public QObject {
    Q_OBJECT

public:
    static inline const QString serviceName = applicationId;
    static inline const QString objectPath =
        QLatin1Char('/') + QString(applicationId).replace(QLatin1Char('.'), QLatin1Char('/'));

    explicit DBusService(Commands& commands, QDBusConnection bus = QDBusConnection::sessionBus(),
                         QObject* parent = nullptr);

    // Serves the object and asks for the name, without waiting for the bus's answer. False when
    // there is no bus or the object cannot be served.
    bool start();

    // Whether the session announces a bus. Without one, connecting would have libdbus launch a
    // bus of its own (dbus-launch), which nothing else would use.
    static bool sessionBusAdvertised();

signals:
    // The bus answered the request for the name.
    void nameRequested(bool owned);

private:
    QDBusConnection m_bus;
};

}  // namespace orv
