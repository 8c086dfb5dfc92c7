#include "platform/x11/X11HotKeyService.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include "platform/x11/X11Display.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11Keysyms.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

namespace orv {

namespace {

// The modifier bit that Num Lock sets on this server (usually Mod2).
unsigned int numLockMask(Display* display) {
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    unsigned int mask = 0;
    for (int modifier = 0; map != nullptr && modifier < 8 && numLock != 0; ++modifier) {
        for (int k = 0; k < map->max_keypermod; ++k) {
            if (map->modifiermap[modifier * map->max_keypermod + k] == numLock) {
                mask = 1u << modifier;
            }
        }
    }
    if (map != nullptr) {
        XFreeModifiermap(map);
    }
    return mask;
}

QList<unsigned int> lockVariants(Display* display, unsigned int modifiers) {
    const unsigned int numLock = numLockMask(display);
    QList<unsigned int> variants{modifiers, modifiers | LockMask};
    if (numLock != 0) {
        variants << (modifiers | numLock) << (modifiers | LockMask | numLock);
    }
    return variants;
}

constexpr unsigned int kMatchedModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

}  // namespace

X11HotKeyService::X11HotKeyService(QObject* parent) : HotKeyService(parent) {
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
    ungrab();
    Display* display = X11Display::get();
    if (display == nullptr) {
        return badValue;
    }
    const auto keysym = X11Keysyms::keysym(combination);
    const KeyCode keycode = keysym ? XKeysymToKeycode(display, *keysym) : 0;
    if (keycode == 0) {
        return badValue;
    }
    const unsigned int modifiers = X11Keysyms::modifiers(combination.keyboardModifiers());
    const Window root = DefaultRootWindow(display);
    X11ErrorTrap trap(display);
    const QList<unsigned int> variants = lockVariants(display, modifiers);
    for (unsigned int mask : variants) {
        XGrabKey(display, keycode, mask, root, True, GrabModeAsync, GrabModeAsync);
    }
    if (const int error = trap.sync(); error != 0) {
        // Another client holds some variant: release the ones we got.
        for (unsigned int mask : variants) {
            XUngrabKey(display, keycode, mask, root);
        }
        trap.sync();
        return error;
    }
    m_grab = Grab{keycode, modifiers};
    return 0;
}

void X11HotKeyService::ungrab() {
    m_held = false;
    m_releasedAt.reset();
    Display* display = X11Display::get();
    if (!m_grab || display == nullptr) {
        m_grab.reset();
        return;
    }
    X11ErrorTrap trap(display);
    for (unsigned int mask : lockVariants(display, m_grab->modifiers)) {
        XUngrabKey(display, m_grab->keycode, mask, DefaultRootWindow(display));
    }
    m_grab.reset();
}

// A held key repeats: in detectable mode (Qt asks for it) as more presses without a release,
// otherwise as release and press pairs that share one timestamp. Either way one physical press
// reports once; its repeats and its release are swallowed, whatever modifiers are held by then.
bool X11HotKeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_grab || eventType != "xcb_generic_event_t") {
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
