#pragma once

#include <QtGlobal>

#include <optional>

class QKeyEvent;

namespace orv {

// Modifier flag bits of a key event, mapped from the physical keys: Ctrl is Control, Alt is
// Option, Super is Command.
namespace ModifierFlag {
inline constexpr quint64 capsLock = 0x10000;
inline constexpr quint64 shift = 0x20000;
inline constexpr quint64 control = 0x40000;
inline constexpr quint64 option = 0x80000;
inline constexpr quint64 command = 0x100000;
inline constexpr quint64 numericPad = 0x200000;
inline constexpr quint64 function = 0x800000;
}  // namespace ModifierFlag

// A key press as the hot-key code sees it: the virtual key code of the key (0 = A, 9 = V, …) and
// the modifier flags held.
struct KeyEvent {
    quint16 keyCode = 0;
    quint64 modifierFlags = 0;

    // Nothing for keys that have no virtual key code (media keys, lone modifiers, …).
    static std::optional<KeyEvent> from(const QKeyEvent& event);

    bool operator==(const KeyEvent&) const = default;
};

}  // namespace orv
