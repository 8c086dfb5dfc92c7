#include "platform/x11/X11SystemTray.h"

#include <QByteArray>
#include <QCoreApplication>

#include <xcb/xcb.h>

// Xlib's macros clash with Qt's names: after Qt.
#include "platform/x11/X11Display.h"

namespace orv {

X11SystemTray::X11SystemTray(QObject* parent) : QObject(parent) {
    Display* display = X11Display::get();
    if (display == nullptr) {
        return;
    }
    const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(DefaultScreen(display));
    m_selection = XInternAtom(display, name.constData(), False);
    m_manager = XInternAtom(display, "MANAGER", False);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11SystemTray::~X11SystemTray() {
    if (m_selection != 0 && QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

bool X11SystemTray::present() const {
    Display* display = X11Display::get();
    return display != nullptr && m_selection != 0 && XGetSelectionOwner(display, m_selection) != 0;
}

bool X11SystemTray::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_CLIENT_MESSAGE) {
        return false;
    }
    const auto* announcement = static_cast<const xcb_client_message_event_t*>(message);
    if (announcement->type == m_manager && announcement->format == 32 &&
        announcement->data.data32[1] == m_selection) {
        emit started();
    }
    return false;
}

}  // namespace orv
