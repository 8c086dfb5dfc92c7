#include "settings/PermissionsWindowController.h"

#include "settings/PermissionsView.h"

#include "ui/Accessibility.h"
#include "ui/InterfaceStyle.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>

namespace orv {

PermissionsWindowController::PermissionsWindowController(AccessibilityTrust& trust, QObject* parent)
    : QObject(parent), m_status(trust) {}

PermissionsWindowController::~PermissionsWindowController() {
    if (m_window) {
        m_window->removeEventFilter(this);
    }
}

void PermissionsWindowController::show() {
    if (!m_window) {
        m_window = std::make_unique<PermissionsView>(m_status);
        m_window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                 Qt::WindowCloseButtonHint);
        m_window->setWindowTitle(QStringLiteral("Permisos"));
        Accessibility::setRole(m_window.get(), QAccessible::Dialog);
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_window.get());
        connect(escape, &QShortcut::activated, m_window.get(), &QWidget::close);
        m_window->installEventFilter(this);
        m_window->setMechanisms(m_mechanisms);
        InterfaceStyle::centreOnPointerScreen(m_window.get(), QCursor::pos());
    }
    m_status.start();
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void PermissionsWindowController::setMechanisms(QStringList lines) {
    m_mechanisms = std::move(lines);
    if (m_window) {
        m_window->setMechanisms(m_mechanisms);
    }
}

bool PermissionsWindowController::eventFilter(QObject* watched, QEvent* event) {
    // Nobody sees the status while the window is closed.
    if (watched == m_window.get() && event->type() == QEvent::Close) {
        m_status.stop();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace orv
