#pragma once

#include <QKeyCombination>
#include <QtGlobal>

#include <optional>

namespace orv {

// The hot key as the settings file keeps it ("hotKeyCode", "hotKeyModifiers"): a key code of the
// program's first platform (ANSI key positions: 0 = A, 9 = V, 36 Return, 49 Space, 123–126
// arrows, …) and a mask of its Carbon modifier bits. Those numbers go no further than here and
// the preferences that read and write them; the rest of the program speaks Qt keys.
struct StoredHotKey {
    quint16 keyCode = 0;
    quint32 carbonModifiers = 0;

    // Control → Ctrl, Option → Alt, Shift → Shift, Command → Meta (Super), other bits dropped;
    // keypad keys with the keypad modifier; Qt::Key_unknown for a code that names no key.
    QKeyCombination combination() const;
    // Nothing for a key the settings have no code for.
    static std::optional<StoredHotKey> of(QKeyCombination combination);

    bool operator==(const StoredHotKey&) const = default;
};

}  // namespace orv
