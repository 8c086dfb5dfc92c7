#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/HotKeyService.h"
#include "platform/KeyInjector.h"
#include "platform/Pasteboard.h"
#include "platform/PointerMonitor.h"
#include "platform/Workspace.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace orv {

class WaylandConnection;
class WaylandDataControl;

// The desktop services of this session, each from the backend chosen for it once at start-up:
// the clipboard natively on Wayland compositors that offer data-control, through X11 elsewhere
// (XWayland included); the rest through X11.
class PlatformServices {
public:
    // What each service goes through, in words for the user.
    struct Mechanisms {
        QString clipboard;
        QString hotKey;
        QString paste;
        bool operator==(const Mechanisms&) const = default;
        // "Portapapeles: …", "Atajo: …", "Pegado: …"
        QStringList lines() const;
    };

    // Chooses for this session and says what in the log.
    static std::unique_ptr<PlatformServices> create();
    ~PlatformServices();

    PlatformServices(const PlatformServices&) = delete;
    PlatformServices& operator=(const PlatformServices&) = delete;

    const Mechanisms& mechanisms() const { return m_mechanisms; }
    Pasteboard& pasteboard() { return *m_pasteboard; }
    // The selection that some terminals paste (X's PRIMARY).
    Pasteboard& primarySelection() { return *m_primary; }
    Workspace& workspace() { return *m_workspace; }
    HotKeyService& hotKeys() { return *m_hotKeys; }
    KeyInjector& keyInjector() { return *m_injector; }
    AccessibilityTrust& trust() { return *m_trust; }
    PointerMonitor& pointerMonitor() { return *m_pointerMonitor; }

private:
    PlatformServices();

    Mechanisms m_mechanisms;
    // Before what uses them, so that they go last.
    std::unique_ptr<WaylandConnection> m_wayland;
    std::unique_ptr<WaylandDataControl> m_dataControl;
    std::unique_ptr<Pasteboard> m_pasteboard;
    std::unique_ptr<Pasteboard> m_primary;
    std::unique_ptr<Workspace> m_workspace;
    std::unique_ptr<HotKeyService> m_hotKeys;
    std::unique_ptr<KeyInjector> m_injector;
    std::unique_ptr<AccessibilityTrust> m_trust;
    std::unique_ptr<PointerMonitor> m_pointerMonitor;
};

}  // namespace orv
