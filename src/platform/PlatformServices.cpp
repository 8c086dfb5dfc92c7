#include "platform/PlatformServices.h"

#include "logging/Logging.h"
#include "platform/portal/PortalHotKeyService.h"
#include "platform/portal/RemoteDesktopInjector.h"
#include "platform/wayland/ForeignToplevelWorkspace.h"
#include "platform/wayland/VirtualKeyboardInjector.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDataControl.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "platform/x11/SystemPasteboard.h"
#include "platform/x11/X11AccessibilityTrust.h"
#include "platform/x11/X11Desktop.h"
#include "platform/x11/X11HotKeyService.h"
#include "platform/x11/X11KeyInjector.h"
#include "platform/x11/X11PointerMonitor.h"
#include "platform/x11/X11Workspace.h"

#include <QGuiApplication>

namespace orv {

QStringList PlatformServices::Mechanisms::lines() const {
    return {QStringLiteral("Portapapeles: ") + clipboard, QStringLiteral("Atajo: ") + hotKey,
            QStringLiteral("Pegado: ") + paste, QStringLiteral("Aplicación activa: ") + windows};
}

DesktopHints& DesktopHints::forSession() {
    static DesktopHints none;
    static X11Desktop x11;
    return QGuiApplication::platformName() == u"xcb" ? x11 : none;
}

bool DesktopHints::ownWindowHasKeyboard() const {
    return QGuiApplication::focusWindow() != nullptr;
}

PlatformServices::PlatformServices() = default;
PlatformServices::~PlatformServices() = default;

std::unique_ptr<PlatformServices> PlatformServices::create() {
    std::unique_ptr<PlatformServices> services(new PlatformServices);
    PlatformServices& s = *services;
    const bool x11 = QGuiApplication::platformName() == u"xcb";
    const bool waylandSession = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    // X11 services reach only XWayland windows in a Wayland session.
    const QString xwaylandOnly = QStringLiteral("X11 (solo ventanas XWayland)");

    s.m_wayland = WaylandConnection::connectToSession();
    if (s.m_wayland) {
        s.m_dataControl = WaylandDataControl::create(*s.m_wayland);
        s.m_injector = VirtualKeyboardInjector::create(*s.m_wayland);
        s.m_workspace = ForeignToplevelWorkspace::create(*s.m_wayland);
        if (!s.m_dataControl && !s.m_injector && !s.m_workspace) {
            s.m_wayland.reset();
        }
    }

    if (WaylandDataControl* control = s.m_dataControl.get()) {
        s.m_pasteboard =
            std::make_unique<WaylandPasteboard>(*control, WaylandDataControl::Selection::clipboard);
        s.m_primary =
            std::make_unique<WaylandPasteboard>(*control, WaylandDataControl::Selection::primary);
        s.m_mechanisms.clipboard = QStringLiteral("Wayland (%1)").arg(control->protocolName());
    } else {
        s.m_pasteboard = std::make_unique<SystemPasteboard>(QGuiApplication::clipboard());
        s.m_primary =
            std::make_unique<SystemPasteboard>(QGuiApplication::clipboard(), QClipboard::Selection);
        s.m_mechanisms.clipboard =
            !x11             ? QStringLiteral("Qt (%1)").arg(QGuiApplication::platformName())
            : waylandSession ? QStringLiteral("X11 (XWayland)")
                             : QStringLiteral("X11");
    }

    if (waylandSession) {
        s.m_hotKeys = std::make_unique<PortalHotKeyService>();
        s.m_mechanisms.hotKey = QStringLiteral("portal de atajos globales del escritorio");
    } else {
        s.m_hotKeys = std::make_unique<X11HotKeyService>();
        s.m_mechanisms.hotKey = QStringLiteral("X11");
    }

    if (s.m_injector) {
        s.m_trust = std::make_unique<FixedTrust>(true);
        s.m_mechanisms.paste = QStringLiteral("teclado virtual de Wayland");
    } else if (x11 && !waylandSession) {
        s.m_injector = std::make_unique<X11KeyInjector>();
        s.m_trust = std::make_unique<X11AccessibilityTrust>();
        s.m_mechanisms.paste = QStringLiteral("X11 (XTest)");
    } else if (x11) {
        s.m_offersRemoteDesktopKeys = true;
        s.m_xwaylandWindows = std::make_unique<X11Workspace>();
        s.m_injector = std::make_unique<X11KeyInjector>(s.m_xwaylandWindows.get());
        s.m_trust = std::make_unique<X11AccessibilityTrust>();
        s.m_mechanisms.paste =
            QStringLiteral("X11 (solo ventanas XWayland; en las demás, pégalo con Ctrl+V)");
    } else {
        s.m_offersRemoteDesktopKeys = waylandSession;
        // No permission to ask for: the clip is copied and the user pastes it.
        s.m_injector = std::make_unique<CopyOnlyInjector>();
        s.m_trust = std::make_unique<FixedTrust>(true);
        s.m_mechanisms.paste = QStringLiteral("ninguno (el clip se copia; pégalo con Ctrl+V)");
    }

    if (s.m_workspace) {
        s.m_mechanisms.windows = QStringLiteral("Wayland (foreign-toplevel)");
    } else {
        s.m_workspace = std::make_unique<X11Workspace>();
        s.m_knowsEveryWindow = !waylandSession;
        s.m_mechanisms.windows = !x11             ? QStringLiteral("desconocida")
                                 : waylandSession ? xwaylandOnly
                                                  : QStringLiteral("X11");
    }
    s.m_pointerMonitor = std::make_unique<X11PointerMonitor>();

    qCInfo(lcPlatform).noquote() << "desktop services on Qt platform"
                                 << QGuiApplication::platformName() << "-"
                                 << s.m_mechanisms.lines().join(QStringLiteral(", "));
    return services;
}

// A remote desktop the desktop refused leaves the keys to the way that worked without it.
KeyInjector& PlatformServices::keyInjector() {
    if (m_remoteKeys && m_remoteKeys->failure().isEmpty()) {
        return *m_remoteKeys;
    }
    return *m_injector;
}

PlatformServices::Mechanisms PlatformServices::mechanisms() const {
    Mechanisms mechanisms = m_mechanisms;
    if (m_remoteKeys && !m_remoteKeys->failure().isEmpty()) {
        mechanisms.paste += QStringLiteral(" (el escritorio remoto no está disponible. %1)")
                                .arg(m_remoteKeys->failure());
    } else if (m_remoteKeys) {
        mechanisms.paste = QStringLiteral("portal de escritorio remoto");
    }
    return mechanisms;
}

void PlatformServices::useRemoteDesktopKeys(bool on, const QString& token,
                                            std::function<void(const QString&)> tokenChanged,
                                            std::function<void()> stateChanged) {
    if (!m_offersRemoteDesktopKeys || on == bool(m_remoteKeys)) {
        return;
    }
    if (on) {
        m_remoteKeys = std::make_unique<RemoteDesktopInjector>(token);
        if (tokenChanged) {
            QObject::connect(m_remoteKeys.get(), &RemoteDesktopInjector::restoreTokenChanged,
                             m_remoteKeys.get(), std::move(tokenChanged));
        }
        if (stateChanged) {
            QObject::connect(m_remoteKeys.get(), &RemoteDesktopInjector::readyChanged,
                             m_remoteKeys.get(), std::move(stateChanged));
        }
    } else {
        m_remoteKeys.reset();
    }
    qCInfo(lcPlatform).noquote() << "keys:" << mechanisms().paste;
}

QString PlatformServices::remoteDesktopFailure() const {
    return m_remoteKeys ? m_remoteKeys->failure() : QString();
}

}  // namespace orv
