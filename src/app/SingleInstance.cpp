#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QRegularExpression>

#include <unistd.h>

namespace {
constexpr int kTimeoutMs = 1000;
const QByteArray kToggle = "toggle\n";
}  // namespace

SingleInstance::SingleInstance(QString name, QObject* parent)
    : QObject(parent), m_name(std::move(name)) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    if (socket->readLine() == kToggle && onToggle) {
                        onToggle();
                    }
                }
            });
        }
    });
}

QString SingleInstance::standardName() {
    QString display = qEnvironmentVariable("DISPLAY");
    display.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9.]")), QStringLiteral("_"));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return runtime + QStringLiteral("/orvantide-%1.socket").arg(display);
    }
    return QStringLiteral("orvantide-%1-%2").arg(getuid()).arg(display);
}

bool SingleInstance::askRunningInstanceToToggle() {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(kTimeoutMs)) {
        return false;
    }
    socket.write(kToggle);
    socket.waitForBytesWritten(kTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool SingleInstance::listen() {
    // A socket file left by an instance that crashed would block the name.
    QLocalServer::removeServer(m_name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(m_name);
}
