#pragma once

#include <QKeyCombination>
#include <QString>

namespace orv {

// Shortcuts written as Linux desktops write them in Spanish: "Ctrl+Alt+V", "Ctrl+1",
// "Ctrl+Retroceso", "Ctrl+Mayús+Espacio". The modifiers in the desktops' own words (Qt's Spanish
// translation says "Control" and "Mayúsculas", which no desktop shows), the keys in Qt's words
// through its translations.
namespace ShortcutText {

// "?" for Qt::Key_unknown (a stored key that names no key).
QString of(QKeyCombination key);
// The modifiers alone, each followed by "+".
QString modifiers(Qt::KeyboardModifiers modifiers);
// The desktops' word for a modifier or key that Qt names so in English ("Ctrl", "Shift",
// "Backspace"); null where Qt's own translation is the word desktops use.
QString desktopWord(const QString& qtName);

}  // namespace ShortcutText

}  // namespace orv
