#pragma once

#include "platform/KeyCodes.h"
#include "platform/KeyEvent.h"

#include <QString>

#include <optional>

namespace orv {

// The key combination that opens and closes the palette: a virtual key code and a mask of
// CarbonModifier bits, as the preferences persist them.
struct HotKeyCombo {
    // Ctrl+Alt+V.
    static constexpr quint16 defaultKeyCode = 9;
    static constexpr quint32 defaultModifiers = CarbonModifier::control | CarbonModifier::option;

    quint16 keyCode = defaultKeyCode;
    quint32 carbonModifiers = defaultModifiers;

    // As Linux desktops write it ("Ctrl+Alt+V", "Ctrl+Mayús+Espacio"), "?" for a key without a
    // name.
    QString display() const;

    // A key press with Control, Option or Command held (Shift alone is not enough), other than
    // Escape.
    static std::optional<HotKeyCombo> from(const KeyEvent& event);

    // As a Qt key combination; nothing when the key code names no key.
    std::optional<QKeyCombination> keyCombination() const {
        return KeyCodes::combination(keyCode, carbonModifiers);
    }

    bool operator==(const HotKeyCombo&) const = default;
};

}  // namespace orv
