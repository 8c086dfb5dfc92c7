#include "platform/PlatformServices.h"

#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDataControl.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/x11/SystemPasteboard.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11PointerMonitor.h"
#include "platform/x11/X11Workspace.h"

#include <QGuiApplication>
#include <QLoggingCategory>

namespace orv {

namespace {
Q_LOGGING_CATEGORY(lcPlatform, "orv.platform")
}

QStringList PlatformServices::Mechanisms::lines() const {
    return {QStringLiteral("Portapapeles: ") + clipboard, QStringLiteral("Atajo: ") + hotKey,
            QStringLiteral("Pegado: ") + paste};
}

PlatformServices::PlatformServices() = default;
PlatformServices::~PlatformServices() = default;

std::unique_ptr<PlatformServices> PlatformServices::create() {
    std::unique_ptr<PlatformServices> services(new PlatformServices);
    const bool x11 = QGuiApplication::platformName() == u"xcb";
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");

    services->m_wayland = WaylandConnection::connectToSession();
    if (services->m_wayland) {
        services->m_dataControl = WaylandDataControl::create(*services->m_wayland);
    }
    if (WaylandDataControl* control = services->m_dataControl.get()) {
        services->m_pasteboard =
            std::make_unique<WaylandPasteboard>(*control, WaylandDataControl::Selection::clipboard);
        services->m_primary =
            std::make_unique<WaylandPasteboard>(*control, WaylandDataControl::Selection::primary);
        services->m_mechanisms.clipboard =
            QStringLiteral("Wayland (%1)").arg(control->protocolName());
    } else {
        services->m_wayland.reset();
        services->m_pasteboard = std::make_unique<SystemPasteboard>(QGuiApplication::clipboard());
        services->m_primary =
            std::make_unique<SystemPasteboard>(QGuiApplication::clipboard(), QClipboard::Selection);
        services->m_mechanisms.clipboard =
            !x11             ? QStringLiteral("Qt (%1)").arg(QGuiApplication::platformName())
            : waylandSession ? QStringLiteral("X11 (XWayland)")
                             : QStringLiteral("X11");
    }
    services->m_workspace = std::make_unique<X11Workspace>();
    services->m_hotKeys = std::make_unique<X11HotKeyService>();
    services->m_injector = std::make_unique<X11KeyInjector>();
    services->m_trust = std::make_unique<X11AccessibilityTrust>();
    services->m_pointerMonitor = std::make_unique<X11PointerMonitor>();
    const QString through =
        waylandSession ? QStringLiteral("X11 (solo ventanas XWayland)") : QStringLiteral("X11");
    services->m_mechanisms.hotKey = x11 ? through : QStringLiteral("ninguno");
    services->m_mechanisms.paste = x11 ? through : QStringLiteral("ninguno (solo copia)");

    qCInfo(lcPlatform).noquote() << "desktop services on Qt platform"
                                 << QGuiApplication::platformName() << "-"
                                 << services->m_mechanisms.lines().join(QStringLiteral(", "));
    return services;
}

}  // namespace orv
