#pragma once

#include <QColor>
#include <QPalette>
#include <QWidget>

// The interface's colours, from the desktop's own palette: the primary text colour at an opacity,
// the secondary and tertiary (dimmed) text colours, and the accent (highlight) colour.
namespace InterfaceStyle {

inline QColor primary(const QPalette& palette, qreal opacity) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(float(opacity));
    return color;
}

inline QColor secondary(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.55f);
    return color;
}

inline QColor tertiary(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.35f);
    return color;
}

inline QColor accent(const QPalette& palette, qreal opacity) {
    QColor color = palette.color(QPalette::Highlight);
    color.setAlphaF(float(opacity));
    return color;
}

// Draws the widget's text in the secondary colour.
inline void setSecondary(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, secondary(palette));
    widget->setPalette(palette);
}

}  // namespace InterfaceStyle
