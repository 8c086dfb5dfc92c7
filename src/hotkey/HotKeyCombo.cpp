#include "hotkey/HotKeyCombo.h"

#include "platform/xdg/ShortcutText.h"

namespace orv {

QString HotKeyCombo::display() const {
    if (const auto key = keyCombination()) {
        return ShortcutText::of(*key);
    }
    return ShortcutText::modifiers(KeyCodes::qtModifiers(carbonModifiers)) + u'?';
}

std::optional<HotKeyCombo> HotKeyCombo::from(const KeyEvent& event) {
    const quint64 flags = event.modifierFlags;
    if (!(flags & (ModifierFlag::control | ModifierFlag::option | ModifierFlag::command))) {
        return std::nullopt;
    }
    constexpr quint16 escape = 53;
    if (event.keyCode == escape) {
        return std::nullopt;
    }
    quint32 mask = 0;
    mask |= (flags & ModifierFlag::control) ? CarbonModifier::control : 0;
    mask |= (flags & ModifierFlag::option) ? CarbonModifier::option : 0;
    mask |= (flags & ModifierFlag::shift) ? CarbonModifier::shift : 0;
    mask |= (flags & ModifierFlag::command) ? CarbonModifier::command : 0;
    return HotKeyCombo{event.keyCode, mask};
}

}  // namespace orv
