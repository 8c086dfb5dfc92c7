#pragma once

#include <QKeyCombination>
#include <QObject>
#include <QString>

#include <QCoro/QCoroTask>

namespace orv {

// The fallback where the desktop lets no application register a global shortcut: a custom
// shortcut of the desktop that runs `orvantide --toggle`. On GNOME the program can create it for
// the user (GSettings, through the gsettings tool); elsewhere the user binds the command by hand.
class DesktopShortcut : public QObject {
    Q_OBJECT

public:
    // Where our own custom binding lives among GNOME's.
    static inline const QString gnomePath = QStringLiteral(
        "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/orvantide/");

    explicit DesktopShortcut(QObject* parent = nullptr);

    // The command the shortcut must run: by name when it is the program on the PATH.
    static QString toggleCommand();
    // GNOME's accelerator text: Ctrl+Alt+V → "<Control><Alt>v".
    static QString gnomeAccelerator(QKeyCombination key);

    // GNOME is the desktop and its settings tool is there.
    bool canCreate() const { return m_canCreate; }
    // What the last creation came to, for the user; empty before one.
    const QString& result() const { return m_result; }
    bool isCreating() const { return m_creating; }

    // Creates (or updates) our custom GNOME shortcut for the key. Never blocks the main thread.
    QCoro::Task<> create(QKeyCombination key);

signals:
    void changed();

private:
    void finish(const QString& result);

    bool m_canCreate = false;
    bool m_creating = false;
    QString m_result;
};

}  // namespace orv
