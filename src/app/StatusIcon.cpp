#include "app/StatusIcon.h"

#include "platform/ApplicationId.h"
#include "platform/DesktopHints.h"
#include "ui/SymbolIcon.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPalette>
#include <QPixmap>

namespace orv {

namespace StatusIcon {

QIcon choose(const std::optional<QColor>& panelColor, const QIcon& themed, const QColor& text) {
    if (panelColor) {
        return SymbolIcon::icon(QStringLiteral("MenuIcon"), *panelColor);
    }
    if (!themed.isNull() && !themed.pixmap(22).isNull()) {
        return themed;
    }
    return SymbolIcon::icon(QStringLiteral("MenuIcon"), text);
}

QIcon forDesktop() {
    return choose(DesktopHints::forSession().trayIconColor(),
                  QIcon::fromTheme(applicationId + QStringLiteral("-symbolic")),
                  QGuiApplication::palette().color(QPalette::WindowText));
}

QIcon paused(const QIcon& icon, const QColor& sign) {
    QIcon faded;
    for (const int side : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(side, side);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setOpacity(0.45);
        icon.paint(&painter, pixmap.rect());
        painter.setOpacity(1.0);
        // Two bars in the lower right quarter.
        const qreal bar = side / 8.0;
        const QRectF corner(side * 0.5, side * 0.5, side * 0.5, side * 0.5);
        painter.setPen(Qt::NoPen);
        painter.setBrush(sign);
        painter.drawRect(
            QRectF(corner.left() + bar * 0.5, corner.top(), bar * 1.2, corner.height()));
        painter.drawRect(
            QRectF(corner.right() - bar * 1.7, corner.top(), bar * 1.2, corner.height()));
        painter.end();
        faded.addPixmap(pixmap);
    }
    return faded;
}

}  // namespace StatusIcon

}  // namespace orv
