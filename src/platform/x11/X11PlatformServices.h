#pragma once

#include "platform/PlatformServices.h"
#include "platform/x11/SystemPasteboard.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11PointerMonitor.h"
#include "platform/x11/X11Workspace.h"

namespace orv {

// Every service over X11: the clipboard and PRIMARY through Qt (read on a connection of their own),
// EWMH for windows, XGrabKey, XTest and XInput 2.
class X11PlatformServices : public PlatformServices {
public:
    X11PlatformServices();

    QString name() const override { return QStringLiteral("X11"); }
    Pasteboard& pasteboard() override { return m_pasteboard; }
    Pasteboard& primarySelection() override { return m_primary; }
    Workspace& workspace() override { return m_workspace; }
    HotKeyService& hotKeys() override { return m_hotKeys; }
    KeyInjector& keyInjector() override { return m_injector; }
    AccessibilityTrust& trust() override { return m_trust; }
    PointerMonitor& pointerMonitor() override { return m_pointerMonitor; }

private:
    SystemPasteboard m_pasteboard;
    SystemPasteboard m_primary;
    X11Workspace m_workspace;
    X11HotKeyService m_hotKeys;
    X11KeyInjector m_injector;
    X11AccessibilityTrust m_trust;
    X11PointerMonitor m_pointerMonitor;
};

}  // namespace orv
