#include "platform/Keysyms.h"

#include <QChar>

#include <xkbcommon/xkbcommon.h>

namespace orv {

namespace Keysyms {

namespace {

struct Row {
    int qtKey;
    quint32 keysym;
    bool keypad = false;
};

// Keys without a character of their own (F-keys and keypad digits run in order, below). A keysym
// stands for the Qt key of its first row.
// clang-format off
constexpr Row kRows[] = {
    {Qt::Key_Return, XKB_KEY_Return}, {Qt::Key_Tab, XKB_KEY_Tab},
    {Qt::Key_Backspace, XKB_KEY_BackSpace}, {Qt::Key_Escape, XKB_KEY_Escape},
    {Qt::Key_Insert, XKB_KEY_Insert}, {Qt::Key_Delete, XKB_KEY_Delete},
    {Qt::Key_Home, XKB_KEY_Home}, {Qt::Key_End, XKB_KEY_End}, {Qt::Key_PageUp, XKB_KEY_Prior},
    {Qt::Key_PageDown, XKB_KEY_Next}, {Qt::Key_Left, XKB_KEY_Left},
    {Qt::Key_Right, XKB_KEY_Right}, {Qt::Key_Up, XKB_KEY_Up}, {Qt::Key_Down, XKB_KEY_Down},
    {Qt::Key_Menu, XKB_KEY_Menu}, {Qt::Key_Print, XKB_KEY_Print},
    {Qt::Key_NumLock, XKB_KEY_Num_Lock}, {Qt::Key_Control, XKB_KEY_Control_L},
    {Qt::Key_Shift, XKB_KEY_Shift_L}, {Qt::Key_Alt, XKB_KEY_Alt_L},
    {Qt::Key_Super_L, XKB_KEY_Super_L},
    {Qt::Key_Period, XKB_KEY_KP_Decimal, true}, {Qt::Key_Asterisk, XKB_KEY_KP_Multiply, true},
    {Qt::Key_Plus, XKB_KEY_KP_Add, true}, {Qt::Key_Clear, XKB_KEY_Clear, true},
    {Qt::Key_Slash, XKB_KEY_KP_Divide, true}, {Qt::Key_Enter, XKB_KEY_KP_Enter, true},
    {Qt::Key_Minus, XKB_KEY_KP_Subtract, true}, {Qt::Key_Equal, XKB_KEY_KP_Equal, true},
    // Enter is the keypad's, asked for with or without the keypad modifier.
    {Qt::Key_Enter, XKB_KEY_KP_Enter},
};
// clang-format on

// Latin-1 keysyms are their characters.
bool isLatin1Character(quint32 keysym) {
    return (keysym >= 0x20 && keysym < 0x7F) || (keysym >= 0xA0 && keysym <= 0xFF);
}

}  // namespace

std::optional<quint32> keysym(QKeyCombination combination) {
    const int key = combination.key();
    const bool keypad = combination.keyboardModifiers().testFlag(Qt::KeypadModifier);
    for (const Row& row : kRows) {
        if (row.qtKey == key && row.keypad == keypad) {
            return row.keysym;
        }
    }
    if (keypad) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9) {
            return quint32(XKB_KEY_KP_0 + (key - Qt::Key_0));
        }
        return std::nullopt;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35) {
        return quint32(XKB_KEY_F1 + (key - Qt::Key_F1));
    }
    // Below Qt's special keys a key is the upper-case form of its character.
    if (key > 0 && key < Qt::Key_Escape) {
        const xkb_keysym_t keysym = xkb_utf32_to_keysym(QChar::toLower(char32_t(key)));
        if (keysym != XKB_KEY_NoSymbol) {
            return keysym;
        }
    }
    return std::nullopt;
}

std::optional<QKeyCombination> qtKey(quint32 keysym) {
    for (const Row& row : kRows) {
        if (row.keysym == keysym) {
            return QKeyCombination(row.keypad ? Qt::KeypadModifier : Qt::NoModifier,
                                   Qt::Key(row.qtKey));
        }
    }
    if (keysym >= XKB_KEY_KP_0 && keysym <= XKB_KEY_KP_9) {
        return QKeyCombination(Qt::KeypadModifier, Qt::Key(Qt::Key_0 + (keysym - XKB_KEY_KP_0)));
    }
    if (keysym >= XKB_KEY_F1 && keysym <= XKB_KEY_F35) {
        return QKeyCombination(Qt::Key(Qt::Key_F1 + (keysym - XKB_KEY_F1)));
    }
    if (isLatin1Character(keysym)) {
        return QKeyCombination(Qt::Key(QChar::toUpper(char32_t(keysym))));
    }
    return std::nullopt;
}

QString name(quint32 keysym) {
    char name[64];
    return xkb_keysym_get_name(keysym, name, sizeof name) > 0 ? QString::fromLatin1(name)
                                                              : QString();
}

}  // namespace Keysyms

}  // namespace orv
