#include "platform/x11/X11KeyInjector.h"

#include "platform/Workspace.h"

#include <QList>

#include "platform/x11/X11Display.h"
#include "platform/x11/X11ErrorTrap.h"
#include "platform/x11/X11Keymap.h"

#include <X11/extensions/XTest.h>

namespace orv {

namespace {

// The modifier keys that change what a key press means; lock keys are left alone (pressing them
// would toggle them).
QList<KeyCode> heldModifierKeys(Display* display, const X11Keymap& keymap) {
    char pressed[32] = {};
    XQueryKeymap(display, pressed);
    const KeyCode numLock = keymap.keycode(Qt::Key_NumLock);
    XModifierKeymap* map = XGetModifierMapping(display);
    QList<KeyCode> held;
    for (int modifier = 0; map != nullptr && modifier < 8; ++modifier) {
        if (modifier == LockMapIndex) {
            continue;
        }
        for (int k = 0; k < map->max_keypermod; ++k) {
            const KeyCode key = map->modifiermap[modifier * map->max_keypermod + k];
            const bool down = key != 0 && (pressed[key / 8] & (1 << (key % 8))) != 0;
            if (down && key != numLock && !held.contains(key)) {
                held.append(key);
            }
        }
    }
    if (map != nullptr) {
        XFreeModifiermap(map);
    }
    return held;
}

QList<KeyCode> modifierKeys(const X11Keymap& keymap, Qt::KeyboardModifiers modifiers) {
    const std::pair<Qt::KeyboardModifier, Qt::Key> keys[] = {{Qt::ControlModifier, Qt::Key_Control},
                                                             {Qt::ShiftModifier, Qt::Key_Shift},
                                                             {Qt::AltModifier, Qt::Key_Alt},
                                                             {Qt::MetaModifier, Qt::Key_Super_L}};
    QList<KeyCode> codes;
    for (const auto& [modifier, key] : keys) {
        if (modifiers.testFlag(modifier)) {
            if (const KeyCode code = keymap.keycode(key); code != 0) {
                codes.append(code);
            }
        }
    }
    return codes;
}

}  // namespace

bool X11KeyInjector::tap(QKeyCombination combination) {
    if (m_xwaylandWindows != nullptr && !m_xwaylandWindows->frontmostApplication()) {
        return false;
    }
    Display* display = X11Display::get();
    int eventBase = 0;
    int errorBase = 0;
    int major = 0;
    int minor = 0;
    if (display == nullptr ||
        !XTestQueryExtension(display, &eventBase, &errorBase, &major, &minor)) {
        return false;
    }
    // The key that types the symbol in the layout of the moment, which may have changed since the
    // last paste.
    const X11Keymap keymap(display);
    const KeyCode key = keymap.keycode(combination);
    if (key == 0) {
        return false;
    }
    X11ErrorTrap trap(display);
    const QList<KeyCode> held = heldModifierKeys(display, keymap);
    const QList<KeyCode> ours = modifierKeys(keymap, combination.keyboardModifiers());
    for (KeyCode code : held) {
        XTestFakeKeyEvent(display, code, False, CurrentTime);
    }
    for (KeyCode code : ours) {
        XTestFakeKeyEvent(display, code, True, CurrentTime);
    }
    XTestFakeKeyEvent(display, key, True, CurrentTime);
    XTestFakeKeyEvent(display, key, False, CurrentTime);
    for (auto it = ours.rbegin(); it != ours.rend(); ++it) {
        XTestFakeKeyEvent(display, *it, False, CurrentTime);
    }
    for (KeyCode code : held) {
        XTestFakeKeyEvent(display, code, True, CurrentTime);
    }
    return trap.sync() == 0;
}

}  // namespace orv
