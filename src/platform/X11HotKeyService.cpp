#include "platform/X11HotKeyService.h"

#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include "platform/X11Display.h"
#include "platform/X11ErrorTrap.h"

#include <X11/XKBlib.h>
#include <X11/keysym.h>

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

X11HotKeyService::X11HotKeyService() {
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

int X11HotKeyService::grab(const KeyCodes::XKeyBinding& binding) {
    ungrab();
    Display* display = X11Display::get();
    if (display == nullptr) {
        return badValue;
    }
    const KeyCode keycode = XKeysymToKeycode(display, binding.keysym);
    if (keycode == 0) {
        return badValue;
    }
    const Window root = DefaultRootWindow(display);
    X11ErrorTrap trap(display);
    const QList<unsigned int> variants = lockVariants(display, binding.modifiers);
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
    m_grab = Grab{keycode, binding.modifiers};
    return 0;
}

void X11HotKeyService::ungrab() {
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

bool X11HotKeyService::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (!m_grab || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS) {
        return false;
    }
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    if (press->detail != m_grab->keycode ||
        (press->state & kMatchedModifiers) != (m_grab->modifiers & kMatchedModifiers)) {
        return false;
    }
    if (onPressed) {
        onPressed(1);
    }
    return true;
}
