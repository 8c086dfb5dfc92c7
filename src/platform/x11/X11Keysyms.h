#pragma once

#include <QKeyCombination>
#include <QtGlobal>

#include <optional>

namespace orv {

// Qt keys as X keysyms and back, for grabbing and posting keys.
namespace X11Keysyms {

// Keypad keys come with the keypad modifier.
std::optional<quint32> keysym(QKeyCombination key);
// The Qt key of a keysym, letters in either case; the keypad modifier for keypad keys.
std::optional<QKeyCombination> qtKey(quint32 keysym);
// Ctrl → ControlMask, Alt → Mod1, Shift → ShiftMask, Meta → Mod4; the rest is dropped.
quint32 modifiers(Qt::KeyboardModifiers modifiers);

}  // namespace X11Keysyms

}  // namespace orv
