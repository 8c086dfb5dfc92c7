#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

namespace orv {

// The XEmbed system tray of the screen, the owner of _NET_SYSTEM_TRAY_S<screen>: whether there is
// one, and when one starts (it announces itself with a MANAGER message to the root window, which
// Qt already listens on). Nothing outside an X11 session.
class X11SystemTray : public QObject, public QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit X11SystemTray(QObject* parent = nullptr);
    ~X11SystemTray() override;

    bool present() const;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void started();

private:
    // Atoms; none outside X11.
    unsigned long m_selection = 0;
    unsigned long m_manager = 0;
};

}  // namespace orv
