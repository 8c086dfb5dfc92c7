#pragma once

#include "platform/AccessibilityTrust.h"
#include "platform/HotKeyService.h"
#include "platform/KeyInjector.h"
#include "platform/Pasteboard.h"
#include "platform/PointerMonitor.h"
#include "platform/Workspace.h"

#include <QString>

#include <memory>

namespace orv {

// The desktop services of this session, from one backend chosen once at start-up.
class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // Chooses the backend for this session and says which in the log. Today there is one: X11
    // (XWayland included).
    static std::unique_ptr<PlatformServices> create();

    // The backend's name, for the log and the permission window.
    virtual QString name() const = 0;
    virtual Pasteboard& pasteboard() = 0;
    // The selection that some terminals paste (X's PRIMARY).
    virtual Pasteboard& primarySelection() = 0;
    virtual Workspace& workspace() = 0;
    virtual HotKeyService& hotKeys() = 0;
    virtual KeyInjector& keyInjector() = 0;
    virtual AccessibilityTrust& trust() = 0;
    virtual PointerMonitor& pointerMonitor() = 0;
};

}  // namespace orv
