#include "platform/x11/X11PointerMonitor.h"

#include "logging/Logging.h"

#include <QSocketNotifier>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace orv {

void X11PointerMonitor::DisplayCloser::operator()(_XDisplay* display) const {
    XCloseDisplay(display);
}

X11PointerMonitor::X11PointerMonitor(QObject* parent) : PointerMonitor(parent) {
    m_display.reset(XOpenDisplay(nullptr));
    if (!m_display) {
        return;
    }
    int event = 0;
    int error = 0;
    int major = 2;
    int minor = 0;
    if (!XQueryExtension(m_display.get(), "XInputExtension", &m_opcode, &event, &error) ||
        XIQueryVersion(m_display.get(), &major, &minor) != Success) {
        qCWarning(lcPointer) << "XInput 2 is missing: clicks outside the palette go unseen";
        m_display.reset();
        return;
    }
    m_notifier =
        new QSocketNotifier(ConnectionNumber(m_display.get()), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11PointerMonitor::drain);
}

X11PointerMonitor::~X11PointerMonitor() = default;

void X11PointerMonitor::start() {
    select(true);
}

void X11PointerMonitor::stop() {
    select(false);
}

// Selected only while someone listens, so that the process does not wake for every click.
void X11PointerMonitor::select(bool presses) {
    if (!m_display) {
        return;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    if (presses) {
        XISetMask(bits, XI_RawButtonPress);
    }
    XIEventMask mask{XIAllMasterDevices, int(sizeof bits), bits};
    XISelectEvents(m_display.get(), DefaultRootWindow(m_display.get()), &mask, 1);
    XFlush(m_display.get());
    drain();
}

void X11PointerMonitor::drain() {
    bool pressed = false;
    while (XPending(m_display.get()) > 0) {
        XEvent event;
        XNextEvent(m_display.get(), &event);
        if (event.xcookie.type == GenericEvent && event.xcookie.extension == m_opcode &&
            event.xcookie.evtype == XI_RawButtonPress) {
            pressed = true;
        }
    }
    if (pressed) {
        emit this->pressed();
    }
}

}  // namespace orv
