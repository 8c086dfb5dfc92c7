#pragma once

#include "platform/xdg/DesktopNotifications.h"
#include "platform/xdg/TrayPresence.h"

#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSystemTrayIcon>

#include <memory>

namespace orv {

// The tray icon. Qt 6.4 chooses between a StatusNotifierItem and the XEmbed tray when the first
// QSystemTrayIcon is made and keeps that choice for the whole process, so an icon made before the
// panel is up (as at login) never reaches it. The icon is therefore made once a tray is there,
// with the picture, tooltip and menu given before; where none ever comes, the hot key and
// `orvantide --toggle` still reach the palette.
class StatusItem : public QObject {
    Q_OBJECT

public:
    explicit StatusItem(QObject* parent = nullptr);
    ~StatusItem() override;

    void setIcon(const QIcon& icon);
    void setToolTip(const QString& tip);
    void setContextMenu(QMenu* menu);
    // Puts the icon in the tray as soon as there is one.
    void show();

    // In a tray now.
    bool isShown() const;
    // Where the icon is on screen; invalid where that is not known.
    QRect geometry() const;

    // A notice that needs no answer: a desktop notification where a server answers, else the
    // tray's balloon, else the log alone.
    void notify(const QString& text);
    void showBalloon(const QString& text, QSystemTrayIcon::MessageIcon kind);

signals:
    void activated(QSystemTrayIcon::ActivationReason reason);

private:
    void create();

    TrayPresence m_tray;
    DesktopNotifications m_notifications;
    std::unique_ptr<QSystemTrayIcon> m_icon;
    QIcon m_picture;
    QString m_toolTip;
    QPointer<QMenu> m_menu;
};

}  // namespace orv
