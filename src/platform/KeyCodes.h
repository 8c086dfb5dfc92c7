#pragma once

#include <QtGlobal>

#include <optional>

// Modifier bits of a persisted hot-key combination.
namespace CarbonModifier {
inline constexpr quint32 command = 0x100;
inline constexpr quint32 shift = 0x200;
inline constexpr quint32 option = 0x800;
inline constexpr quint32 control = 0x1000;
}  // namespace CarbonModifier

// The fixed tables between virtual key codes (ANSI key positions: 0 = A, 9 = V, 36 Return, 49
// Space, 123–126 arrows, …), X keysyms and Qt keys.
namespace KeyCodes {

// An X key grab: the keysym to look up in the keyboard map, and the X modifier mask.
struct XKeyBinding {
    quint32 keysym = 0;
    quint32 modifiers = 0;
    bool operator==(const XKeyBinding&) const = default;
};

// The key of a Qt key press. Shifted symbols of the US layout ("!" for 1) and keypad keys (with the
// keypad modifier) map to their keys.
std::optional<quint16> fromQtKey(int qtKey, bool keypad);
// The key of an X keysym, letters in either case.
std::optional<quint16> fromKeysym(quint32 keysym);
std::optional<quint32> keysym(quint16 keyCode);
std::optional<int> qtKey(quint16 keyCode);

// Control → ControlMask, Option → Mod1, Shift → ShiftMask, Command → Mod4; other bits are dropped.
quint32 xModifiers(quint32 carbonModifiers);
// Nothing when the key has no keysym.
std::optional<XKeyBinding> xBinding(quint16 keyCode, quint32 carbonModifiers);

}  // namespace KeyCodes
