#include "ui/Accessibility.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace orv::Accessibility {

namespace {

constexpr char kRoleProperty[] = "orvAccessibleRole";

// Qt's accessibility cache owns what this returns.
QAccessibleInterface* withRole(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    const QVariant role = widget != nullptr ? widget->property(kRoleProperty) : QVariant();
    return role.isValid() ? new QAccessibleWidget(widget, QAccessible::Role(role.toInt()))
                          : nullptr;
}

}  // namespace

void setRole(QWidget* widget, QAccessible::Role role) {
    static const bool installed = [] {
        QAccessible::installFactory(withRole);
        return true;
    }();
    Q_UNUSED(installed);
    widget->setProperty(kRoleProperty, int(role));
}

void announce(QWidget* widget) {
    QAccessibleEvent event(widget, QAccessible::Alert);
    QAccessible::updateAccessibility(&event);
}

}  // namespace orv::Accessibility
