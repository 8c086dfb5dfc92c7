#pragma once

#include <QtGlobal>

// Posts synthetic key presses into whichever window has the keyboard focus.
class KeyInjector {
public:
    virtual ~KeyInjector() = default;
    // Presses and releases the key of `keysym` with exactly the X modifiers `xModifiers` held:
    // modifier keys the user is still holding are let go first and pressed again afterwards.
    // False when nothing could be posted.
    virtual bool tap(quint32 keysym, quint32 xModifiers) = 0;
};
