#pragma once

#include <QKeyCombination>
#include <QtGlobal>

#include <optional>

namespace orv {

// Modifier bits of a persisted hot-key combination.
namespace CarbonModifier {
inline constexpr quint32 command = 0x100;
inline constexpr quint32 shift = 0x200;
inline constexpr quint32 option = 0x800;
inline constexpr quint32 control = 0x1000;
}  // namespace CarbonModifier

// The key codes of the settings file (virtual key codes, ANSI key positions: 0 = A, 9 = V, 36
// Return, 49 Space, 123–126 arrows, …) and their Qt keys. Those codes go no further than the
// settings and the hot-key combination; the rest of the program speaks Qt keys.
namespace KeyCodes {

// The key of a Qt key press. Shifted symbols of the US layout ("!" for 1) and keypad keys (with the
// keypad modifier) map to their keys.
std::optional<quint16> fromQtKey(int qtKey, bool keypad);
std::optional<int> qtKey(quint16 keyCode);

// Control → Ctrl, Option → Alt, Shift → Shift, Command → Meta (Super); other bits are dropped.
Qt::KeyboardModifiers qtModifiers(quint32 carbonModifiers);
// The Qt key combination of a stored one (keypad keys carry the keypad modifier); nothing when the
// code names no key.
std::optional<QKeyCombination> combination(quint16 keyCode, quint32 carbonModifiers);

}  // namespace KeyCodes

}  // namespace orv
