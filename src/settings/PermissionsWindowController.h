#pragma once

#include "settings/PermissionStatus.h"

#include <QObject>
#include <QStringList>

#include <memory>

namespace orv {

class AccessibilityTrust;
class PermissionsView;

// Owns the "Permisos" window and the trust status it shows. The status is checked once a second
// only while the window is open.
class PermissionsWindowController : public QObject {
    Q_OBJECT

public:
    explicit PermissionsWindowController(AccessibilityTrust& trust, QObject* parent = nullptr);
    ~PermissionsWindowController() override;

    // Builds the window the first time, checks the permission again and brings the window to the
    // front.
    void show();
    // Shown under the card: which mechanism each desktop service goes through.
    void setMechanisms(QStringList lines);
    const QStringList& mechanisms() const { return m_mechanisms; }

    PermissionStatus& status() { return m_status; }
    // The window; null until the first show.
    PermissionsView* window() const { return m_window.get(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    PermissionStatus m_status;
    std::unique_ptr<PermissionsView> m_window;
    QStringList m_mechanisms;
};

}  // namespace orv
