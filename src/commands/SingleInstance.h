#pragma once

#include "platform/xdg/FileDescriptor.h"

#include <QByteArray>
#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <deque>
#include <memory>
#include <vector>

namespace orv {

class Commands;

// One Orvantide per user and desktop session. Before anything else starts, a launch takes a lock
// file beside the socket: the process holding it is the one instance until it ends (the kernel lets
// it go even after a crash), and it alone listens on the socket. A later launch, or
// `orvantide --toggle`, finds the lock held, asks that instance over the socket to toggle its
// palette, and leaves. The subcommands (`orvantide list`, …) come over the same socket, one request
// a connection, each answered when it has run (CommandProtocol.h).
//
// A connection has a few seconds to send its request, and only so many may wait for theirs at
// once (the oldest goes first): idle connections can neither use up the descriptors nor keep
// requests out. A failed accept is tried again, never the end of listening.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Claim {
        // This process holds the lock: it is the instance.
        first,
        // The running instance took the request to toggle its palette.
        handedOver,
        // The lock stayed held, but nothing listened within the wait.
        unanswered,
    };

    // What a launch that finds another instance asks of it.
    enum class HandOver {
        toggle,
        // Nothing: `claim` gives `handedOver` as soon as the lock is seen held.
        nothing,
    };

    // A socket path in $XDG_RUNTIME_DIR when there is one (else a private folder of ours in the
    // temporary folder), named after the session: the X display without its screen (":0",
    // "unix:0" and ":0.0" are one), else the Wayland display. Without either (ssh, cron), the
    // instance that runs in that folder, if there is one. The lock file is the same path with
    // ".lock" added.
    static QString standardName();
    // Why the folder of the standard name cannot be used (another user's, or open to others), in
    // Spanish; empty when it can.
    static QString refusal();
    // What names the session in the socket's name; empty without a display.
    static QString sessionName(const QString& x11Display, const QString& waylandDisplay);
    // Whether this process can tell its desktop session, and so start an instance in it.
    static bool hasSession();
    // A connection to the instance's socket; none when it does not listen, or when the socket or
    // the process listening on it is another user's. Without an application object, Qt warns
    // while the instance is slow to accept.
    static std::unique_ptr<QLocalSocket> connectTo(const QString& path);

    // Needs no application object, so that nothing else has started. The instance may still be
    // starting when a second launch comes: the request waits up to `wait` for its socket, taking
    // the lock after all if that instance ends meanwhile.
    static Claim claim(const QString& name = standardName(),
                       std::chrono::milliseconds wait = std::chrono::seconds(20),
                       HandOver handOver = HandOver::toggle);
    // Why this instance ends before it could serve, for the subcommand that started it; kept in
    // the lock file (never made here), emptied by the next instance.
    static void leaveNote(const QString& name, const QString& note);
    static QString note(const QString& name);
    // Whether a process holds the lock (an instance runs, or is starting), without taking it.
    static bool isRunning(const QString& name = standardName());

    // Needs the application object and the lock.
    explicit SingleInstance(QString name = standardName(), QObject* parent = nullptr);
    ~SingleInstance() override;
    // Takes the socket for this process. Requests that come before `deliverToggles` are kept.
    bool listen();
    // From now on each request is `toggleRequested`; those kept come at once.
    void deliverToggles();
    // From now on subcommands run through `commands`; those kept run at once.
    void serveCommands(Commands* commands);

signals:
    // Another launch or `orvantide --toggle` asks for the palette.
    void toggleRequested();

private:
    struct PendingCommand {
        QPointer<QLocalSocket> socket;
        QStringList arguments;
        QByteArray input;
    };

    void acceptConnections();
    void serve(QLocalSocket* socket);
    void stopWaiting(QLocalSocket* socket);
    void receiveToggle();
    void receiveCommand(PendingCommand command);

    QString m_name;
    FileDescriptor m_listener;
    std::unique_ptr<QSocketNotifier> m_incoming;
    QTimer m_acceptRetry;
    int m_open = 0;
    // Connections whose request has not arrived, oldest first.
    std::deque<QPointer<QLocalSocket>> m_waiting;
    bool m_delivering = false;
    int m_pendingToggles = 0;
    QPointer<Commands> m_commands;
    std::vector<PendingCommand> m_pendingCommands;
};

}  // namespace orv
