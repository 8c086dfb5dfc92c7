#include "platform/KeyEvent.h"

#include "platform/KeyCodes.h"
#include "platform/x11/X11Keysyms.h"

#include <QKeyEvent>

namespace orv {

std::optional<KeyEvent> KeyEvent::from(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    auto keyCode = KeyCodes::fromQtKey(event.key(), keypad);
    if (!keyCode && event.nativeVirtualKey() != 0) {
        // Layouts whose symbols Qt does not know as keys still report their keysym.
        if (const auto key = X11Keysyms::qtKey(event.nativeVirtualKey())) {
            keyCode = KeyCodes::fromQtKey(key->key(),
                                          key->keyboardModifiers().testFlag(Qt::KeypadModifier));
        }
    }
    if (!keyCode) {
        return std::nullopt;
    }
    quint64 flags = 0;
    flags |= modifiers.testFlag(Qt::ShiftModifier) ? ModifierFlag::shift : 0;
    flags |= modifiers.testFlag(Qt::ControlModifier) ? ModifierFlag::control : 0;
    flags |= modifiers.testFlag(Qt::AltModifier) ? ModifierFlag::option : 0;
    flags |= modifiers.testFlag(Qt::MetaModifier) ? ModifierFlag::command : 0;
    flags |= keypad ? ModifierFlag::numericPad : 0;
    return KeyEvent{*keyCode, flags};
}

}  // namespace orv
