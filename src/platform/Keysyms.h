#pragma once

#include <QKeyCombination>
#include <QString>
#include <QtGlobal>

#include <optional>

namespace orv {

// Qt keys as keysyms and back: the one table of the X11, Wayland and portal backends (X and XKB
// keysyms are the same numbers).
namespace Keysyms {

// Keypad keys come with the keypad modifier; a character is its own keysym (letters in lower
// case, shift being a modifier of the combination). Modifier keys are their left-hand ones.
std::optional<quint32> keysym(QKeyCombination key);
// The Qt key of a keysym, letters in either case; the keypad modifier for keypad keys.
std::optional<QKeyCombination> qtKey(quint32 keysym);
// As xkb names it ("v", "Return"); empty for a keysym without a name.
QString name(quint32 keysym);

}  // namespace Keysyms

}  // namespace orv
