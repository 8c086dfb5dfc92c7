#include "ui/SymbolIcon.h"

#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>

namespace orv {

namespace SymbolIcon {

using namespace Qt::Literals::StringLiterals;

namespace {

const QHash<QString, QString>& themeNames() {
    static const QHash<QString, QString> names{
        {u"magnifyingglass"_s, u"edit-find"_s},
        {u"xmark.circle.fill"_s, u"edit-clear"_s},
        {u"doc.on.clipboard"_s, u"edit-paste"_s},
        {u"text.alignleft"_s, u"format-justify-left"_s},
        {u"photo"_s, u"image-x-generic"_s},
        {u"doc"_s, u"text-x-generic"_s},
        {u"trash"_s, u"user-trash"_s},
        {u"gearshape"_s, u"preferences-system"_s},
        {u"keyboard"_s, u"input-keyboard"_s},
        {u"slider.horizontal.3"_s, u"preferences-other"_s},
        {u"list.bullet"_s, u"view-list"_s},
        {u"checkmark"_s, u"object-select"_s},
        {u"hand.raised"_s, u"dialog-password"_s},
        {u"checkmark.circle.fill"_s, u"emblem-ok"_s},
        {u"exclamationmark.triangle"_s, u"dialog-warning"_s},
    };
    return names;
}

// Our pictures are ui/symbols/*.svg, black ink with white where the ink is cut away.
QString pictureOf(const QString& symbol) {
    const QString path = QStringLiteral(":/orv/symbols/%1.svg").arg(symbol);
    return QFile::exists(path) ? path : QStringLiteral(":/orv/symbols/circle.svg");
}

}  // namespace

QString themeName(const QString& symbol) {
    return themeNames().value(symbol);
}

QPixmap fallback(const QString& symbol, int side, const QColor& color) {
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    // Rows draw their symbol at every paint: the picture is rendered once per size and colour.
    const QString key = QStringLiteral("orv-symbol/%1/%2/%3/%4")
                            .arg(symbol)
                            .arg(side)
                            .arg(color.rgba(), 0, 16)
                            .arg(ratio);
    if (QPixmap cached; QPixmapCache::find(key, &cached)) {
        return cached;
    }
    QImage image(QSize(side, side) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QSvgRenderer(pictureOf(symbol)).render(&painter);
    painter.end();
    // Black is ink and white cuts it away; what is left takes the requested colour.
    auto* pixels = reinterpret_cast<QRgb*>(image.bits());
    for (qsizetype i = 0; i < qsizetype(image.width()) * image.height(); ++i) {
        const int ink = qAlpha(pixels[i]) - qRed(pixels[i]);
        pixels[i] = qPremultiply(
            qRgba(color.red(), color.green(), color.blue(), ink * color.alpha() / 255));
    }
    QPixmap pixmap = QPixmap::fromImage(std::move(image));
    pixmap.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, pixmap);
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
