#pragma once

#include <QLocalServer>
#include <QObject>

#include <functional>

// One Orvantide per user and display: a later launch (or `orvantide --toggle`) asks the running
// one to toggle its palette over a local socket and leaves.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(QString name = standardName(), QObject* parent = nullptr);

    // In $XDG_RUNTIME_DIR when there is one, named after the display.
    static QString standardName();

    // True when another instance answered; it has been asked to toggle its palette.
    bool askRunningInstanceToToggle();
    // Takes the name for this process; each later request calls `onToggle`.
    bool listen();

    std::function<void()> onToggle;

private:
    QString m_name;
    QLocalServer m_server;
};
