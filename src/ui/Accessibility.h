#pragma once

#include <QAccessible>

#include <QWidget>

namespace orv {

// A plain container read with a role of its own (a heading): Qt's own factory answers for a
// bare QWidget before any other is asked.
class AccessibleContainer : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
};

}  // namespace orv

namespace orv::Accessibility {

// Gives `widget` the role assistive technology reads for it, whatever its class: a top-level
// window, a heading, an alert. Called before anything else asks for or announces the widget
// (setting its accessible name does): Qt keeps the first interface it made.
void setRole(QWidget* widget, QAccessible::Role role);

// Has a screen reader speak `widget`'s accessible name now, as an alert.
void announce(QWidget* widget);

}  // namespace orv::Accessibility
