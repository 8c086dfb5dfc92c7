#pragma once

#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QString>
#include <QWidget>

namespace orv {

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
// Errors and actions that destroy something.
inline QColor destructive() {
    return QColor(0xE5, 0x48, 0x4D);
}

inline void setSecondary(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, secondary(palette));
    widget->setPalette(palette);
}

// A colour as a style-sheet value.
inline QString css(const QColor& color) {
    return QStringLiteral("rgba(%1, %2, %3, %4)")
        .arg(color.red())
        .arg(color.green())
        .arg(color.blue())
        .arg(color.alphaF());
}

// The text sizes, for font().
inline constexpr int largeTitlePixels = 26;
inline constexpr int titlePixels = 18;
inline constexpr int headlinePixels = 15;
inline constexpr int bodyPixels = 13;
inline constexpr int calloutPixels = 12;
inline constexpr int subheadlinePixels = 11;
inline constexpr int captionPixels = 10;
// `base` at a size in device-independent pixels (the interface's points).
inline QFont font(const QFont& base, int pixels, QFont::Weight weight = QFont::Normal) {
    QFont sized = base;
    sized.setPixelSize(pixels);
    sized.setWeight(weight);
    return sized;
}

// Centres a window on the screen the pointer is on (the first showing of a window).
inline void centreOnPointerScreen(QWidget* window, const QPoint& pointer) {
    QScreen* screen = QGuiApplication::screenAt(pointer);
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen != nullptr) {
        QRect area(QPoint(), window->size());
        area.moveCenter(screen->availableGeometry().center());
        window->setGeometry(area);
    }
}

}  // namespace InterfaceStyle

}  // namespace orv
