#include "app/AppIcon.h"
#include "platform/ApplicationId.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace orv {

namespace AppIcon {

namespace {

// data/icons/com.quarnelbrisk.orvantide.svg, in its 24 × 24 box.
QPixmap drawn(int side) {
    QPixmap pixmap(side, side);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(side / 24.0, side / 24.0);
    const QColor blue(0x2E, 0x86, 0xDE);
    p.setPen(Qt::NoPen);
    p.setBrush(blue);
    p.drawRoundedRect(QRectF(1, 1, 22, 22), 5, 5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.4));
    p.drawRoundedRect(QRectF(5, 4.5, 9.5, 11), 1.6, 1.6);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRoundedRect(QRectF(9, 8, 10.5, 12), 2, 2);
    p.setPen(QPen(blue, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(11.5, 12), QPointF(17, 12));
    p.drawLine(QPointF(11.5, 15.5), QPointF(15.5, 15.5));
    return pixmap;
}

}  // namespace

QIcon icon() {
    const QIcon themed = QIcon::fromTheme(applicationId);
    if (!themed.isNull() && !themed.pixmap(32).isNull()) {
        return themed;
    }
    QIcon own;
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        own.addPixmap(drawn(side));
    }
    return own;
}

}  // namespace AppIcon

}  // namespace orv
