#pragma once

#include <QKeyCombination>

#include <X11/XKBlib.h>

#include <memory>

namespace orv {

// The keyboard as the server has it when it is read: its keymap and the layout (XKB group) that
// is locked. Read it again before each use: Xlib's own copy of a connection's keymap follows only
// the notices Xlib reads, and Qt reads those of its connection itself.
class X11Keymap {
public:
    explicit X11Keymap(Display* display);

    // The key that types the key's symbol in the layout that is on, at the lowest level; else
    // where another layout of the keymap has it (Latin letters stay on their keys while a
    // Cyrillic layout is on). 0 when no key has it.
    KeyCode keycode(QKeyCombination key) const;
    // The modifier bit that Num Lock sets (usually Mod2), 0 without a Num Lock key.
    unsigned int numLockMask() const;
    // Ctrl → ControlMask, Alt → Mod1, Shift → ShiftMask, Meta → Mod4; the rest is dropped.
    static unsigned int modifierMask(Qt::KeyboardModifiers modifiers);

private:
    KeyCode keycodeOfKeysym(KeySym keysym) const;
    struct Free {
        void operator()(XkbDescPtr map) const { XkbFreeKeyboard(map, 0, True); }
    };

    Display* m_display;
    std::unique_ptr<XkbDescRec, Free> m_map;
    int m_group = 0;
};

}  // namespace orv
