#pragma once

#include <QKeyCombination>
#include <QString>

namespace orv {

// Shortcuts written as Linux desktops write them in Spanish: "Ctrl+Alt+V", "Ctrl+1",
// "Ctrl+Retroceso", "Ctrl+Mayús+Espacio". The modifiers in the desktops' own words (Qt's Spanish
// translation says "Control" and "Mayúsculas", which no desktop shows), the keys in Qt's words
// through its translations.
namespace ShortcutText {

QString of(QKeyCombination key);
// The modifiers alone, each followed by "+".
QString modifiers(Qt::KeyboardModifiers modifiers);

}  // namespace ShortcutText

}  // namespace orv
