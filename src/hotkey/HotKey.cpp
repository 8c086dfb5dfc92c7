#include "hotkey/HotKey.h"

#include "hotkey/StoredHotKey.h"
#include "platform/Keysyms.h"

#include <QKeyEvent>

#include <utility>

namespace orv {

namespace HotKey {

namespace {

// What Qt reports for a key pressed with Shift on the US layout.
// clang-format off
constexpr std::pair<int, int> kShifted[] = {
    {Qt::Key_Exclam, Qt::Key_1}, {Qt::Key_At, Qt::Key_2}, {Qt::Key_NumberSign, Qt::Key_3},
    {Qt::Key_Dollar, Qt::Key_4}, {Qt::Key_Percent, Qt::Key_5}, {Qt::Key_AsciiCircum, Qt::Key_6},
    {Qt::Key_Ampersand, Qt::Key_7}, {Qt::Key_Asterisk, Qt::Key_8}, {Qt::Key_ParenLeft, Qt::Key_9},
    {Qt::Key_ParenRight, Qt::Key_0}, {Qt::Key_Underscore, Qt::Key_Minus},
    {Qt::Key_Plus, Qt::Key_Equal}, {Qt::Key_BraceLeft, Qt::Key_BracketLeft},
    {Qt::Key_BraceRight, Qt::Key_BracketRight}, {Qt::Key_Colon, Qt::Key_Semicolon},
    {Qt::Key_QuoteDbl, Qt::Key_Apostrophe}, {Qt::Key_Less, Qt::Key_Comma},
    {Qt::Key_Greater, Qt::Key_Period}, {Qt::Key_Question, Qt::Key_Slash},
    {Qt::Key_Bar, Qt::Key_Backslash}, {Qt::Key_AsciiTilde, Qt::Key_QuoteLeft},
    {Qt::Key_Backtab, Qt::Key_Tab},
};
// clang-format on

// The key as the settings keep it, the keypad modifier included where it counts.
std::optional<QKeyCombination> storableKey(int qtKey, bool keypad) {
    if (const QKeyCombination key(keypad ? Qt::KeypadModifier : Qt::NoModifier, Qt::Key(qtKey));
        StoredHotKey::of(key)) {
        return key;
    }
    if (keypad) {
        // Keypad keys without a code of their own (arrows with Num Lock off, …).
        return storableKey(qtKey, false);
    }
    for (const auto& [shifted, key] : kShifted) {
        if (shifted == qtKey) {
            return QKeyCombination(Qt::Key(key));
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<QKeyCombination> fromKeyPress(const QKeyEvent& event) {
    const Qt::KeyboardModifiers modifiers = event.modifiers();
    auto key = storableKey(event.key(), modifiers.testFlag(Qt::KeypadModifier));
    if (!key && event.nativeVirtualKey() != 0) {
        // Layouts whose symbols Qt does not know as keys still report their keysym.
        if (const auto known = Keysyms::qtKey(event.nativeVirtualKey())) {
            key =
                storableKey(known->key(), known->keyboardModifiers().testFlag(Qt::KeypadModifier));
        }
    }
    if (!key) {
        return std::nullopt;
    }
    const Qt::KeyboardModifiers held =
        modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
    return QKeyCombination(held | key->keyboardModifiers(), key->key());
}

bool canBeHotKey(QKeyCombination combination) {
    return combination.keyboardModifiers().testAnyFlags(Qt::ControlModifier | Qt::AltModifier |
                                                        Qt::MetaModifier) &&
           combination.key() != Qt::Key_Escape;
}

}  // namespace HotKey

}  // namespace orv
