#pragma once

#include <QKeyCombination>

namespace orv {

// Posts synthetic key presses into whichever window has the keyboard focus.
class KeyInjector {
public:
    virtual ~KeyInjector() = default;
    // Presses and releases the key with exactly its modifiers held: modifier keys the user is
    // still holding are let go first and pressed again afterwards. False when nothing could be
    // posted.
    virtual bool tap(QKeyCombination key) = 0;
};

}  // namespace orv
