#include "hotkey/HotKeyCombo.h"

#include <QStringList>

#include <array>

namespace orv {

namespace {

// The names of the keys that have one, by virtual key code; empty where there is none.
const std::array<QString, 50>& symbols() {
    static const std::array<QString, 50> table = [] {
        std::array<QString, 50> names;
        const auto place = [&names](int first, const QStringList& list) {
            for (int i = 0; i < list.size(); ++i) {
                names[size_t(first + i)] = list[i];
            }
        };
        place(0, {"A", "S", "D", "F", "H", "G", "Z", "X", "C", "V"});
        place(11, {"B", "Q", "W", "E", "R", "Y", "T"});
        place(18, {"1", "2", "3", "4", "6", "5", "=", "9", "7", "-", "8", "0"});
        place(30, {"]", "O", "U", "[", "I", "P"});
        place(37, {"L", "J", "'", "K", ";", "\\", ",", "/", "N", "M", "."});
        place(49, {"Espacio"});
        return names;
    }();
    return table;
}

}  // namespace

QString HotKeyCombo::display() const {
    QString text;
    if (carbonModifiers & CarbonModifier::control) {
        text += QStringLiteral("⌃");
    }
    if (carbonModifiers & CarbonModifier::option) {
        text += QStringLiteral("⌥");
    }
    if (carbonModifiers & CarbonModifier::shift) {
        text += QStringLiteral("⇧");
    }
    if (carbonModifiers & CarbonModifier::command) {
        text += QStringLiteral("⌘");
    }
    const QString name = keyCode < symbols().size() ? symbols()[keyCode] : QString();
    return text + (name.isEmpty() ? QStringLiteral("?") : name);
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
