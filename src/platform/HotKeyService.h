#pragma once

#include "platform/KeyCodes.h"

#include <functional>

// A system-wide key grab: one binding at a time, its presses reported through `onPressed`.
class HotKeyService {
public:
    // The X error a grab that another client holds fails with.
    static constexpr int badAccess = 10;
    // A key that the keyboard map has no key for.
    static constexpr int badValue = 2;

    virtual ~HotKeyService() = default;

    // Grabs the binding in place of any earlier one: 0, or the failure status (nothing stays
    // grabbed then).
    virtual int grab(const KeyCodes::XKeyBinding& binding) = 0;
    virtual void ungrab() = 0;

    // Called from inside the native event dispatch, once per press, with the grab's id (1).
    std::function<void(quint32 id)> onPressed;
};
