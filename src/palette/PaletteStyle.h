#pragma once

#include <QColor>
#include <QPalette>

// The palette's colours, from the desktop's own palette: the primary text colour at an opacity,
// the secondary (dimmed) text colour, and the accent (highlight) colour.
namespace PaletteStyle {

inline QColor primary(const QPalette& palette, qreal opacity) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(float(opacity));
    return color;
}

inline QColor secondary(const QPalette& palette) {
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.6f);
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

}  // namespace PaletteStyle
