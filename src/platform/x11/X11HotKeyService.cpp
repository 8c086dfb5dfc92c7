#include "platform/x11/X11HotKeyService.h"

#include "logging/Logging.h"

#include <QCoreApplication>

#include <xcb/xcb.h>

#include "platform/x11/X11Display.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11Keymap.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XKBproto.h>

namespace orv {

namespace {

constexpr unsigned int kMatchedModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

// Long enough for the notices of one change to come in together, short against a person.
constexpr int kKeymapSettleMs = 100;

}  // namespace

X11HotKeyService::X11HotKeyService(QObject* parent) : HotKeyService(parent) {
    if (Display* display = X11Display::get()) {
        int opcode = 0;
        int event = 0;
        int error = 0;
        if (XQueryExtension(display, "XKEYBOARD", &opcode, &event, &error)) {
            m_xkbEvent = event;
        }
    }
    m_keymapSettled.setSingleShot(true);
    m_keymapSettled.setInterval(kKeymapSettleMs);
    connect(&m_keymapSettled, &QTimer::timeout, this, &X11HotKeyService::followKeymap);
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
}

X11HotKeyService::~X11HotKeyService() {
    ungrab();
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

int X11HotKeyService::grab(QKeyCombination combination) {
    release();
    m_wanted = combination;
    const Place place = placeOf(combination);
    const int status = take(place);
    m_refusedOn = status != 0 ? place.keycode : 0;
    return status;
}

void X11HotKeyService::ungrab() {
    m_wanted.reset();
    m_keymapSettled.stop();
    release();
}

// Looked up on the keymap of the moment, with the Num Lock bit of the moment: both change with
// the layout.
X11HotKeyService::Place X11HotKeyService::placeOf(QKeyCombination combination) const {
    Display* display = X11Display::get();
    if (display == nullptr) {
        return {};
    }
    const X11Keymap keymap(display);
    Place place;
    place.keycode = keymap.keycode(combination);
    place.modifiers = X11Keymap::modifierMask(combination.keyboardModifiers());
    place.masks = {place.modifiers, place.modifiers | LockMask};
    if (const unsigned int numLock = keymap.numLockMask(); numLock != 0) {
        place.masks << (place.modifiers | numLock) << (place.modifiers | LockMask | numLock);
    }
    return place;
}

int X11HotKeyService::take(const Place& place) {
    Display* display = X11Display::get();
    if (display == nullptr || place.keycode == 0) {
        return badValue;
    }
    const Window root = DefaultRootWindow(display);
    X11ErrorTrap trap(display);
    for (unsigned int mask : place.masks) {
        XGrabKey(display, int(place.keycode), mask, root, True, GrabModeAsync, GrabModeAsync);
    }
    if (const int error = trap.sync(); error != 0) {
        // Another client holds some variant: release the ones we got.
        for (unsigned int mask : place.masks) {
            XUngrabKey(display, int(place.keycode), mask, root);
        }
        trap.sync();
        return error;
    }
    m_grab = place;
    return 0;
}

void X11HotKeyService::release() {
    m_held = false;
    m_releasedAt.reset();
    Display* display = X11Display::get();
    if (m_grab && display != nullptr) {
        X11ErrorTrap trap(display);
        for (unsigned int mask : m_grab->masks) {
            XUngrabKey(display, int(m_grab->keycode), mask, DefaultRootWindow(display));
        }
    }
    m_grab.reset();
}

// New keymaps (setxkbmap, a desktop's layout settings, xmodmap) and the layout indicator's group
// switches; Qt has asked for the XKB notices on its connection. Modifier and latch changes also
// come as state notices and are no change of layout.
bool X11HotKeyService::isKeymapChange(const void* message) const {
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const int kind = event->response_type & 0x7F;
    if (kind == XCB_MAPPING_NOTIFY) {
        return static_cast<const xcb_mapping_notify_event_t*>(message)->request !=
               XCB_MAPPING_POINTER;
    }
    if (kind != m_xkbEvent) {
        return false;
    }
    switch (static_cast<const xkbAnyEvent*>(message)->xkbType) {
        case XkbNewKeyboardNotify:
        case XkbMapNotify:
            return true;
        case XkbStateNotify:
            return (static_cast<const xkbStateNotify*>(message)->changed & XkbGroupLockMask) != 0;
        default:
            return false;
    }
}

void X11HotKeyService::followKeymap() {
    if (!m_wanted) {
        return;
    }
    const Place place = placeOf(*m_wanted);
    if (m_grab) {
        if (place == *m_grab) {
            return;
        }
        release();
        if (const int status = take(place); status != 0) {
            qCInfo(lcHotKey) << "the keyboard changed: the hot key cannot be grabbed again, status"
                             << status;
            m_refusedOn = place.keycode;
            emit refused(status);
        } else {
            qCInfo(lcHotKey) << "the keyboard changed: the hot key is now on key code"
                             << place.keycode;
        }
        return;
    }
    // A refused combination may work on the key that types it now; none types it: no use.
    if (place.keycode != m_refusedOn) {
        m_refusedOn = place.keycode;
        if (place.keycode != 0) {
            emit availabilityChanged();
        }
    }
}

// A held key repeats: in detectable mode (Qt asks for it) as more presses without a release,
// otherwise as release and press pairs that share one timestamp. Either way one physical press
// reports once; its repeats and its release are swallowed, whatever modifiers are held by then.
bool X11HotKeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    if (m_wanted && isKeymapChange(message)) {
        m_keymapSettled.start();
        return false;
    }
    if (!m_grab) {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const int kind = event->response_type & 0x7F;
    if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE) {
        return false;
    }
    // A release has the same layout as a press.
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->detail != m_grab->keycode) {
        return false;
    }
    if (kind == XCB_KEY_RELEASE) {
        if (!m_held) {
            return false;
        }
        m_held = false;
        m_releasedAt = key->time;
        return true;
    }
    const bool repeat = m_held || (m_releasedAt && *m_releasedAt == key->time);
    if (!repeat && (key->state & kMatchedModifiers) != (m_grab->modifiers & kMatchedModifiers)) {
        return false;
    }
    m_held = true;
    if (!repeat) {
        emit pressed(1);
    }
    return true;
}

}  // namespace orv
