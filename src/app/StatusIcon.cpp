#include "app/StatusIcon.h"

#include "platform/TrayIconColor.h"
#include "ui/SymbolIcon.h"

#include <QGuiApplication>
#include <QPalette>

namespace orv {

namespace StatusIcon {

QIcon choose(const std::optional<QColor>& panelColor, const QIcon& themed, const QColor& text) {
    if (panelColor) {
        return SymbolIcon::icon("MenuIcon", *panelColor);
    }
    if (!themed.isNull() && !themed.pixmap(22).isNull()) {
        return themed;
    }
    return SymbolIcon::icon("MenuIcon", text);
}

QIcon forDesktop() {
    return choose(TrayIconColor::fromPanel(), QIcon::fromTheme(QString::fromLatin1(symbolicName)),
                  QGuiApplication::palette().color(QPalette::WindowText));
}

}  // namespace StatusIcon

}  // namespace orv
