#include "settings/SettingsWindowController.h"

#include "settings/SettingsView.h"

#include "ui/Accessibility.h"
#include "ui/InterfaceStyle.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>

namespace orv {

SettingsWindowController::SettingsWindowController(PreferencesStore& preferences, QObject* parent)
    : QObject(parent), m_preferences(preferences) {}

SettingsWindowController::~SettingsWindowController() = default;

void SettingsWindowController::show() {
    if (!m_window) {
        m_window = std::make_unique<SettingsView>(m_preferences);
        m_window->setExclusionsNote(m_exclusionsNote);
        m_window->setDesktopShortcut(m_shortcut);
        m_window->setRemoteDesktopOffered(m_remoteDesktopOffered);
        m_window->setRemoteDesktopNote(m_remoteDesktopNote);
        connect(m_window.get(), &SettingsView::permissionsRequested, this,
                &SettingsWindowController::permissionsRequested);
        m_window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
        m_window->setWindowTitle(QStringLiteral("Preferencias"));
        Accessibility::setRole(m_window.get(), QAccessible::Dialog);
        // As a dialog closes. A hot-key recording takes the press first, and ends with it.
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), m_window.get());
        connect(escape, &QShortcut::activated, m_window.get(), &QWidget::close);
        InterfaceStyle::centreOnPointerScreen(m_window.get(), QCursor::pos());
    }
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SettingsWindowController::setRemoteDesktopNote(const QString& note) {
    m_remoteDesktopNote = note;
    if (m_window) {
        m_window->setRemoteDesktopNote(note);
    }
}

}  // namespace orv
