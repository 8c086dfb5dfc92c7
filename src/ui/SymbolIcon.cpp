#include "ui/SymbolIcon.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace orv {

namespace SymbolIcon {

namespace {

const QHash<QString, QString>& themeNames() {
    static const QHash<QString, QString> names{
        {"magnifyingglass", "edit-find"},
        {"xmark.circle.fill", "edit-clear"},
        {"doc.on.clipboard", "edit-paste"},
        {"text.alignleft", "format-justify-left"},
        {"photo", "image-x-generic"},
        {"doc", "text-x-generic"},
        {"trash", "user-trash"},
        {"gearshape", "preferences-system"},
        {"keyboard", "input-keyboard"},
        {"slider.horizontal.3", "preferences-other"},
        {"list.bullet", "view-list"},
        {"checkmark", "object-select"},
        {"hand.raised", "dialog-password"},
        {"checkmark.circle.fill", "emblem-ok"},
        {"exclamationmark.triangle", "dialog-warning"},
    };
    return names;
}

// Each picture is drawn in a 24 × 24 box and scaled.
void draw(QPainter& p, const QString& symbol, const QColor& color) {
    QPen pen(color, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    if (symbol == u"magnifyingglass") {
        p.drawEllipse(QPointF(10, 10), 6, 6);
        p.drawLine(QPointF(14.5, 14.5), QPointF(20, 20));
    } else if (symbol == u"xmark.circle.fill") {
        p.setPen(Qt::NoPen);
        p.setBrush(color);
        p.drawEllipse(QPointF(12, 12), 9, 9);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8.5, 8.5), QPointF(15.5, 15.5));
        p.drawLine(QPointF(15.5, 8.5), QPointF(8.5, 15.5));
    } else if (symbol == u"doc.on.clipboard") {
        p.drawRoundedRect(QRectF(5, 4.5, 14, 17), 2, 2);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(9, 3, 6, 3), 1, 1);
        p.setBrush(Qt::NoBrush);
        p.drawLine(QPointF(8.5, 11), QPointF(15.5, 11));
        p.drawLine(QPointF(8.5, 15), QPointF(13.5, 15));
    } else if (symbol == u"text.alignleft") {
        const double widths[] = {16, 11, 16, 8};
        for (int i = 0; i < 4; ++i) {
            p.drawLine(QPointF(4, 6 + 4 * i), QPointF(4 + widths[i], 6 + 4 * i));
        }
    } else if (symbol == u"photo") {
        p.drawRoundedRect(QRectF(3, 5, 18, 14), 2.5, 2.5);
        QPainterPath hills;
        hills.moveTo(4, 17);
        hills.lineTo(9, 11.5);
        hills.lineTo(13, 15);
        hills.lineTo(16, 12.5);
        hills.lineTo(20, 17);
        p.drawPath(hills);
        p.setBrush(color);
        p.drawEllipse(QPointF(16, 9), 1.4, 1.4);
    } else if (symbol == u"doc") {
        QPainterPath page;
        page.moveTo(6, 3);
        page.lineTo(14, 3);
        page.lineTo(19, 8);
        page.lineTo(19, 21);
        page.lineTo(6, 21);
        page.closeSubpath();
        p.drawPath(page);
        p.drawPolyline(QPolygonF({QPointF(14, 3), QPointF(14, 8), QPointF(19, 8)}));
    } else if (symbol == u"trash") {
        p.drawLine(QPointF(4, 6.5), QPointF(20, 6.5));
        p.drawLine(QPointF(9.5, 6.5), QPointF(10, 3.5));
        p.drawLine(QPointF(10, 3.5), QPointF(14, 3.5));
        p.drawLine(QPointF(14, 3.5), QPointF(14.5, 6.5));
        p.drawPolyline(QPolygonF(
            {QPointF(6, 6.5), QPointF(7.2, 20.5), QPointF(16.8, 20.5), QPointF(18, 6.5)}));
        p.drawLine(QPointF(10, 10), QPointF(10, 17));
        p.drawLine(QPointF(14, 10), QPointF(14, 17));
    } else if (symbol == u"gearshape") {
        QPainterPath gear;
        for (int i = 0; i < 16; ++i) {
            const double angle = i * M_PI / 8;
            const double radius = (i % 2 == 0) ? 9.5 : 7.2;
            const QPointF point(12 + radius * std::cos(angle), 12 + radius * std::sin(angle));
            i == 0 ? gear.moveTo(point) : gear.lineTo(point);
        }
        gear.closeSubpath();
        p.drawPath(gear);
        p.drawEllipse(QPointF(12, 12), 3, 3);
    } else if (symbol == u"keyboard") {
        p.drawRoundedRect(QRectF(2.5, 6, 19, 12), 2, 2);
        p.setBrush(color);
        p.setPen(Qt::NoPen);
        for (int i = 0; i < 5; ++i) {
            p.drawRect(QRectF(5 + 3 * i, 9, 1.6, 1.6));
        }
        p.drawRect(QRectF(7, 14, 10, 1.6));
    } else if (symbol == u"slider.horizontal.3") {
        const double knobs[] = {8, 15, 11};
        for (int i = 0; i < 3; ++i) {
            const double y = 6 + 6 * i;
            p.drawLine(QPointF(3, y), QPointF(21, y));
            p.setBrush(color);
            p.drawEllipse(QPointF(knobs[i], y), 2.2, 2.2);
            p.setBrush(Qt::NoBrush);
        }
    } else if (symbol == u"list.bullet") {
        for (int i = 0; i < 3; ++i) {
            const double y = 6 + 6 * i;
            p.setBrush(color);
            p.drawEllipse(QPointF(5, y), 1.5, 1.5);
            p.setBrush(Qt::NoBrush);
            p.drawLine(QPointF(9.5, y), QPointF(21, y));
        }
    } else if (symbol == u"checkmark") {
        p.drawPolyline(QPolygonF({QPointF(5, 12.5), QPointF(10, 17.5), QPointF(19.5, 6.5)}));
    } else if (symbol == u"MenuIcon") {
        // The mark: a clipboard with two earlier clips stacked behind it.
        p.drawRoundedRect(QRectF(3, 3, 12, 14), 2, 2);
        p.setBrush(color);
        p.drawRoundedRect(QRectF(8, 7, 13, 15), 2.5, 2.5);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.setPen(QPen(Qt::black, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(11, 12), QPointF(18, 12));
        p.drawLine(QPointF(11, 16), QPointF(16, 16));
    } else {
        p.drawEllipse(QPointF(12, 12), 8, 8);
    }
}

}  // namespace

QString themeName(const QString& symbol) {
    return themeNames().value(symbol);
}

QPixmap fallback(const QString& symbol, int side, const QColor& color) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap pixmap(QSize(side, side) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / 24.0, side / 24.0);
    draw(painter, symbol, color);
    return pixmap;
}

QPixmap pixmap(const QString& symbol, int side, const QColor& color) {
    const QString name = themeName(symbol);
    if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
        return QIcon::fromTheme(name).pixmap(side, side);
    }
    return fallback(symbol, side, color);
}

QIcon icon(const QString& symbol, const QColor& color) {
    const QString name = themeName(symbol);
    if (!name.isEmpty() && QIcon::hasThemeIcon(name)) {
        return QIcon::fromTheme(name);
    }
    QIcon result;
    for (int side : {16, 22, 32, 48}) {
        result.addPixmap(fallback(symbol, side, color));
    }
    return result;
}

}  // namespace SymbolIcon

}  // namespace orv
