#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/HotKeyService.h"
#include "platform/KeyInjector.h"
#include "platform/Pasteboard.h"
#include "platform/PointerMonitor.h"
#include "platform/Workspace.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace orv {

class RemoteDesktopInjector;
class WaylandConnection;
class WaylandDataControl;

// The desktop services of this session, each from the backend chosen for it once at start-up.
// On Wayland: the clipboard over data-control, the shortcut through the GlobalShortcuts portal,
// keys through the virtual keyboard, the active window from foreign-toplevel, where the
// compositor offers them; X11 (XWayland) or an honest nothing otherwise. On X11: X11.
class PlatformServices {
public:
    // What each service goes through, in words for the user.
    struct Mechanisms {
        QString clipboard;
        QString hotKey;
        QString paste;
        QString windows;
        bool operator==(const Mechanisms&) const = default;
        // "Portapapeles: …", "Atajo: …", "Pegado: …", "Aplicación activa: …"
        QStringList lines() const;
    };

    // Chooses for this session and says what in the log.
    static std::unique_ptr<PlatformServices> create();
    ~PlatformServices();

    PlatformServices(const PlatformServices&) = delete;
    PlatformServices& operator=(const PlatformServices&) = delete;

    // What is in force now: a refused remote desktop says why, beside what pastes instead.
    Mechanisms mechanisms() const;
    // Every application's windows are known (else only XWayland ones, or none).
    bool knowsEveryWindow() const { return m_knowsEveryWindow; }
    Pasteboard& pasteboard() { return *m_pasteboard; }
    // The selection that some terminals paste (X's PRIMARY).
    Pasteboard& primarySelection() { return *m_primary; }
    Workspace& workspace() { return *m_workspace; }
    HotKeyService& hotKeys() { return *m_hotKeys; }
    KeyInjector& keyInjector();
    // The desktop's remote-desktop portal could send the keys no other way reaches here (Wayland
    // desktops without a virtual keyboard for clients). The user chooses it.
    bool offersRemoteDesktopKeys() const { return m_offersRemoteDesktopKeys; }
    // Sends keys through that portal from now on (it asks the user once; `token` spares asking
    // again), or no longer; once the desktop refuses it, keys go the way they went without it.
    // Nothing where it is not offered. `tokenChanged` hears the token to keep for the next start,
    // `stateChanged` each change of the session, from the keys made here on.
    void useRemoteDesktopKeys(bool on, const QString& token = {},
                              std::function<void(const QString&)> tokenChanged = {},
                              std::function<void()> stateChanged = {});
    // Why the desktop refused the remote-desktop keys; empty while they work, wait or are off.
    QString remoteDesktopFailure() const;
    AccessibilityTrust& trust() { return *m_trust; }
    PointerMonitor& pointerMonitor() { return *m_pointerMonitor; }

private:
    PlatformServices();

    Mechanisms m_mechanisms;
    bool m_knowsEveryWindow = true;
    bool m_offersRemoteDesktopKeys = false;
    // Before what uses them, so that they go last.
    std::unique_ptr<WaylandConnection> m_wayland;
    std::unique_ptr<WaylandDataControl> m_dataControl;
    std::unique_ptr<Pasteboard> m_pasteboard;
    std::unique_ptr<Pasteboard> m_primary;
    std::unique_ptr<Workspace> m_workspace;
    // Which X11 window is active, for an injector that reaches only those.
    std::unique_ptr<Workspace> m_xwaylandWindows;
    std::unique_ptr<HotKeyService> m_hotKeys;
    std::unique_ptr<KeyInjector> m_injector;
    std::unique_ptr<RemoteDesktopInjector> m_remoteKeys;
    std::unique_ptr<AccessibilityTrust> m_trust;
    std::unique_ptr<PointerMonitor> m_pointerMonitor;
};

}  // namespace orv
