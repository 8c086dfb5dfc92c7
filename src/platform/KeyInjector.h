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
    // False where this session offers no way to post keys at all: a chosen clip is then only
    // copied, and the user pastes it by hand.
    virtual bool isAvailable() const { return true; }
};

// The injector of a session without one.
class CopyOnlyInjector : public KeyInjector {
public:
    bool tap(QKeyCombination) override { return false; }
    bool isAvailable() const override { return false; }
};

}  // namespace orv
