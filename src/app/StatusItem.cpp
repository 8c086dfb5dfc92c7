#include "app/StatusItem.h"

#include "logging/Logging.h"

namespace orv {

namespace {

const QString title = QStringLiteral("Orvantide");
constexpr int balloonTime = 5000;
}  // namespace

StatusItem::StatusItem(QObject* parent) : QObject(parent) {
    connect(&m_tray, &TrayPresence::found, this, &StatusItem::create);
    connect(&m_notifications, &DesktopNotifications::notShown, this,
            [this](const QString&, const QString& body) {
                showBalloon(body, QSystemTrayIcon::Information);
            });
}

StatusItem::~StatusItem() = default;

void StatusItem::setIcon(const QIcon& icon) {
    m_picture = icon;
    if (m_icon) {
        m_icon->setIcon(icon);
    }
}

void StatusItem::setToolTip(const QString& tip) {
    m_toolTip = tip;
    if (m_icon) {
        m_icon->setToolTip(tip);
    }
}

void StatusItem::setContextMenu(QMenu* menu) {
    m_menu = menu;
    if (m_icon) {
        m_icon->setContextMenu(menu);
    }
}

void StatusItem::show() {
    m_tray.start();
}

void StatusItem::create() {
    if (m_icon) {
        return;
    }
    m_icon = std::make_unique<QSystemTrayIcon>(m_picture);
    m_icon->setToolTip(m_toolTip);
    m_icon->setContextMenu(m_menu);
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &StatusItem::activated);
    m_icon->show();
}

bool StatusItem::isShown() const {
    return m_icon && m_icon->isVisible();
}

QRect StatusItem::geometry() const {
    return m_icon ? m_icon->geometry() : QRect();
}

void StatusItem::notify(const QString& text) {
    m_notifications.notify(title, text);
}

void StatusItem::showBalloon(const QString& text, QSystemTrayIcon::MessageIcon kind) {
    if (isShown()) {
        m_icon->showMessage(title, text, kind, balloonTime);
    } else {
        qCInfo(lcTray).noquote() << "neither a notification server nor a tray to say:" << text;
    }
}

}  // namespace orv
