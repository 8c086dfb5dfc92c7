#pragma once

#include <QKeyCombination>

#include <optional>

class QKeyEvent;

namespace orv {

// The key combination that opens and closes the palette.
namespace HotKey {

inline constexpr QKeyCombination defaultCombination{Qt::ControlModifier | Qt::AltModifier,
                                                    Qt::Key_V};

// A key press as the settings can keep it: Ctrl, Alt, Shift and Super as held (other modifiers
// dropped), shifted symbols of the US layout ("!" for 1) as their keys, keypad keys with the
// keypad modifier where they have a code of their own; a key Qt does not know by its keysym.
// Nothing for a key the settings have no code for (media keys, lone modifiers, …).
std::optional<QKeyCombination> fromKeyPress(const QKeyEvent& event);
// Ctrl, Alt or Super held (Shift alone is not enough), and not Escape.
bool canBeHotKey(QKeyCombination combination);

}  // namespace HotKey

}  // namespace orv
