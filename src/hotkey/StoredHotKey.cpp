#include "hotkey/StoredHotKey.h"

#include <utility>

namespace orv {

namespace {

struct Row {
    quint16 keyCode;
    int qtKey;
    bool keypad = false;
};

// clang-format off
constexpr Row kRows[] = {
    {0, Qt::Key_A}, {1, Qt::Key_S}, {2, Qt::Key_D}, {3, Qt::Key_F}, {4, Qt::Key_H}, {5, Qt::Key_G},
    {6, Qt::Key_Z}, {7, Qt::Key_X}, {8, Qt::Key_C}, {9, Qt::Key_V}, {10, Qt::Key_section},
    {11, Qt::Key_B}, {12, Qt::Key_Q}, {13, Qt::Key_W}, {14, Qt::Key_E}, {15, Qt::Key_R},
    {16, Qt::Key_Y}, {17, Qt::Key_T}, {18, Qt::Key_1}, {19, Qt::Key_2}, {20, Qt::Key_3},
    {21, Qt::Key_4}, {22, Qt::Key_6}, {23, Qt::Key_5}, {24, Qt::Key_Equal}, {25, Qt::Key_9},
    {26, Qt::Key_7}, {27, Qt::Key_Minus}, {28, Qt::Key_8}, {29, Qt::Key_0},
    {30, Qt::Key_BracketRight}, {31, Qt::Key_O}, {32, Qt::Key_U}, {33, Qt::Key_BracketLeft},
    {34, Qt::Key_I}, {35, Qt::Key_P}, {36, Qt::Key_Return}, {37, Qt::Key_L}, {38, Qt::Key_J},
    {39, Qt::Key_Apostrophe}, {40, Qt::Key_K}, {41, Qt::Key_Semicolon}, {42, Qt::Key_Backslash},
    {43, Qt::Key_Comma}, {44, Qt::Key_Slash}, {45, Qt::Key_N}, {46, Qt::Key_M},
    {47, Qt::Key_Period}, {48, Qt::Key_Tab}, {49, Qt::Key_Space}, {50, Qt::Key_QuoteLeft},
    {51, Qt::Key_Backspace}, {53, Qt::Key_Escape}, {65, Qt::Key_Period, true},
    {67, Qt::Key_Asterisk, true}, {69, Qt::Key_Plus, true}, {71, Qt::Key_Clear, true},
    {75, Qt::Key_Slash, true}, {76, Qt::Key_Enter, true}, {78, Qt::Key_Minus, true},
    {81, Qt::Key_Equal, true}, {82, Qt::Key_0, true}, {83, Qt::Key_1, true}, {84, Qt::Key_2, true},
    {85, Qt::Key_3, true}, {86, Qt::Key_4, true}, {87, Qt::Key_5, true}, {88, Qt::Key_6, true},
    {89, Qt::Key_7, true}, {91, Qt::Key_8, true}, {92, Qt::Key_9, true}, {122, Qt::Key_F1},
    {120, Qt::Key_F2}, {99, Qt::Key_F3}, {118, Qt::Key_F4}, {96, Qt::Key_F5}, {97, Qt::Key_F6},
    {98, Qt::Key_F7}, {100, Qt::Key_F8}, {101, Qt::Key_F9}, {109, Qt::Key_F10}, {103, Qt::Key_F11},
    {111, Qt::Key_F12}, {105, Qt::Key_F13}, {107, Qt::Key_F14}, {113, Qt::Key_F15},
    {106, Qt::Key_F16}, {64, Qt::Key_F17}, {79, Qt::Key_F18}, {80, Qt::Key_F19}, {90, Qt::Key_F20},
    {114, Qt::Key_Insert}, {115, Qt::Key_Home}, {116, Qt::Key_PageUp}, {117, Qt::Key_Delete},
    {119, Qt::Key_End}, {121, Qt::Key_PageDown}, {123, Qt::Key_Left}, {124, Qt::Key_Right},
    {125, Qt::Key_Down}, {126, Qt::Key_Up},
};

// clang-format on

constexpr std::pair<Qt::KeyboardModifier, quint32> kCarbonModifiers[] = {
    {Qt::ControlModifier, 0x1000},
    {Qt::AltModifier, 0x800},
    {Qt::ShiftModifier, 0x200},
    {Qt::MetaModifier, 0x100},
};

}  // namespace

QKeyCombination StoredHotKey::combination() const {
    Qt::KeyboardModifiers modifiers;
    for (const auto& [modifier, bit] : kCarbonModifiers) {
        modifiers.setFlag(modifier, (carbonModifiers & bit) != 0);
    }
    for (const Row& row : kRows) {
        if (row.keyCode == keyCode) {
            modifiers.setFlag(Qt::KeypadModifier, row.keypad);
            return QKeyCombination(modifiers, Qt::Key(row.qtKey));
        }
    }
    return QKeyCombination(modifiers, Qt::Key_unknown);
}

std::optional<StoredHotKey> StoredHotKey::of(QKeyCombination combination) {
    const Qt::KeyboardModifiers modifiers = combination.keyboardModifiers();
    for (const Row& row : kRows) {
        if (row.qtKey == combination.key() &&
            row.keypad == modifiers.testFlag(Qt::KeypadModifier)) {
            quint32 mask = 0;
            for (const auto& [modifier, bit] : kCarbonModifiers) {
                mask |= modifiers.testFlag(modifier) ? bit : 0;
            }
            return StoredHotKey{row.keyCode, mask};
        }
    }
    return std::nullopt;
}

}  // namespace orv
