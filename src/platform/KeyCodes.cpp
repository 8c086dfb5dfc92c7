#include "platform/KeyCodes.h"

#include <Qt>

#include <X11/X.h>
#include <X11/keysym.h>

#include <array>

namespace KeyCodes {

namespace {

struct Row {
    quint16 keyCode;
    quint32 keysym;
    int qtKey;
    bool keypad = false;
};

// clang-format off
constexpr Row kRows[] = {
    {0, XK_a, Qt::Key_A}, {1, XK_s, Qt::Key_S}, {2, XK_d, Qt::Key_D}, {3, XK_f, Qt::Key_F},
    {4, XK_h, Qt::Key_H}, {5, XK_g, Qt::Key_G}, {6, XK_z, Qt::Key_Z}, {7, XK_x, Qt::Key_X},
    {8, XK_c, Qt::Key_C}, {9, XK_v, Qt::Key_V}, {10, XK_section, Qt::Key_section},
    {11, XK_b, Qt::Key_B}, {12, XK_q, Qt::Key_Q}, {13, XK_w, Qt::Key_W}, {14, XK_e, Qt::Key_E},
    {15, XK_r, Qt::Key_R}, {16, XK_y, Qt::Key_Y}, {17, XK_t, Qt::Key_T},
    {18, XK_1, Qt::Key_1}, {19, XK_2, Qt::Key_2}, {20, XK_3, Qt::Key_3}, {21, XK_4, Qt::Key_4},
    {22, XK_6, Qt::Key_6}, {23, XK_5, Qt::Key_5}, {24, XK_equal, Qt::Key_Equal},
    {25, XK_9, Qt::Key_9}, {26, XK_7, Qt::Key_7}, {27, XK_minus, Qt::Key_Minus},
    {28, XK_8, Qt::Key_8}, {29, XK_0, Qt::Key_0}, {30, XK_bracketright, Qt::Key_BracketRight},
    {31, XK_o, Qt::Key_O}, {32, XK_u, Qt::Key_U}, {33, XK_bracketleft, Qt::Key_BracketLeft},
    {34, XK_i, Qt::Key_I}, {35, XK_p, Qt::Key_P}, {36, XK_Return, Qt::Key_Return},
    {37, XK_l, Qt::Key_L}, {38, XK_j, Qt::Key_J}, {39, XK_apostrophe, Qt::Key_Apostrophe},
    {40, XK_k, Qt::Key_K}, {41, XK_semicolon, Qt::Key_Semicolon},
    {42, XK_backslash, Qt::Key_Backslash}, {43, XK_comma, Qt::Key_Comma},
    {44, XK_slash, Qt::Key_Slash}, {45, XK_n, Qt::Key_N}, {46, XK_m, Qt::Key_M},
    {47, XK_period, Qt::Key_Period}, {48, XK_Tab, Qt::Key_Tab}, {49, XK_space, Qt::Key_Space},
    {50, XK_grave, Qt::Key_QuoteLeft}, {51, XK_BackSpace, Qt::Key_Backspace},
    {53, XK_Escape, Qt::Key_Escape},
    {65, XK_KP_Decimal, Qt::Key_Period, true}, {67, XK_KP_Multiply, Qt::Key_Asterisk, true},
    {69, XK_KP_Add, Qt::Key_Plus, true}, {71, XK_Clear, Qt::Key_Clear, true},
    {75, XK_KP_Divide, Qt::Key_Slash, true}, {76, XK_KP_Enter, Qt::Key_Enter, true},
    {78, XK_KP_Subtract, Qt::Key_Minus, true}, {81, XK_KP_Equal, Qt::Key_Equal, true},
    {82, XK_KP_0, Qt::Key_0, true}, {83, XK_KP_1, Qt::Key_1, true}, {84, XK_KP_2, Qt::Key_2, true},
    {85, XK_KP_3, Qt::Key_3, true}, {86, XK_KP_4, Qt::Key_4, true}, {87, XK_KP_5, Qt::Key_5, true},
    {88, XK_KP_6, Qt::Key_6, true}, {89, XK_KP_7, Qt::Key_7, true}, {91, XK_KP_8, Qt::Key_8, true},
    {92, XK_KP_9, Qt::Key_9, true},
    {122, XK_F1, Qt::Key_F1}, {120, XK_F2, Qt::Key_F2}, {99, XK_F3, Qt::Key_F3},
    {118, XK_F4, Qt::Key_F4}, {96, XK_F5, Qt::Key_F5}, {97, XK_F6, Qt::Key_F6},
    {98, XK_F7, Qt::Key_F7}, {100, XK_F8, Qt::Key_F8}, {101, XK_F9, Qt::Key_F9},
    {109, XK_F10, Qt::Key_F10}, {103, XK_F11, Qt::Key_F11}, {111, XK_F12, Qt::Key_F12},
    {105, XK_F13, Qt::Key_F13}, {107, XK_F14, Qt::Key_F14}, {113, XK_F15, Qt::Key_F15},
    {106, XK_F16, Qt::Key_F16}, {64, XK_F17, Qt::Key_F17}, {79, XK_F18, Qt::Key_F18},
    {80, XK_F19, Qt::Key_F19}, {90, XK_F20, Qt::Key_F20},
    {114, XK_Insert, Qt::Key_Insert}, {115, XK_Home, Qt::Key_Home},
    {116, XK_Prior, Qt::Key_PageUp}, {117, XK_Delete, Qt::Key_Delete},
    {119, XK_End, Qt::Key_End}, {121, XK_Next, Qt::Key_PageDown},
    {123, XK_Left, Qt::Key_Left}, {124, XK_Right, Qt::Key_Right},
    {125, XK_Down, Qt::Key_Down}, {126, XK_Up, Qt::Key_Up},
};

// What Qt reports for a key pressed with Shift on the US layout.
constexpr std::pair<int, quint16> kShifted[] = {
    {Qt::Key_Exclam, 18}, {Qt::Key_At, 19}, {Qt::Key_NumberSign, 20}, {Qt::Key_Dollar, 21},
    {Qt::Key_Percent, 23}, {Qt::Key_AsciiCircum, 22}, {Qt::Key_Ampersand, 26},
    {Qt::Key_Asterisk, 28}, {Qt::Key_ParenLeft, 25}, {Qt::Key_ParenRight, 29},
    {Qt::Key_Underscore, 27}, {Qt::Key_Plus, 24}, {Qt::Key_BraceLeft, 33},
    {Qt::Key_BraceRight, 30}, {Qt::Key_Colon, 41}, {Qt::Key_QuoteDbl, 39}, {Qt::Key_Less, 43},
    {Qt::Key_Greater, 47}, {Qt::Key_Question, 44}, {Qt::Key_Bar, 42}, {Qt::Key_AsciiTilde, 50},
    {Qt::Key_Backtab, 48},
};
// clang-format on

const Row* rowOf(quint16 keyCode) {
    for (const Row& row : kRows) {
        if (row.keyCode == keyCode) {
            return &row;
        }
    }
    return nullptr;
}

}  // namespace

std::optional<quint16> fromQtKey(int qtKey, bool keypad) {
    for (const Row& row : kRows) {
        if (row.qtKey == qtKey && row.keypad == keypad) {
            return row.keyCode;
        }
    }
    if (keypad) {
        // Keypad keys without a code of their own (arrows with Num Lock off, …).
        return fromQtKey(qtKey, false);
    }
    for (const auto& [shifted, keyCode] : kShifted) {
        if (shifted == qtKey) {
            return keyCode;
        }
    }
    return std::nullopt;
}

std::optional<quint16> fromKeysym(quint32 keysym) {
    if (keysym >= XK_A && keysym <= XK_Z) {
        keysym += XK_a - XK_A;
    }
    for (const Row& row : kRows) {
        if (row.keysym == keysym) {
            return row.keyCode;
        }
    }
    return std::nullopt;
}

std::optional<quint32> keysym(quint16 keyCode) {
    const Row* row = rowOf(keyCode);
    return row ? std::optional<quint32>(row->keysym) : std::nullopt;
}

std::optional<int> qtKey(quint16 keyCode) {
    const Row* row = rowOf(keyCode);
    return row ? std::optional<int>(row->qtKey) : std::nullopt;
}

quint32 xModifiers(quint32 carbonModifiers) {
    quint32 mask = 0;
    mask |= (carbonModifiers & CarbonModifier::control) ? ControlMask : 0;
    mask |= (carbonModifiers & CarbonModifier::option) ? Mod1Mask : 0;
    mask |= (carbonModifiers & CarbonModifier::shift) ? ShiftMask : 0;
    mask |= (carbonModifiers & CarbonModifier::command) ? Mod4Mask : 0;
    return mask;
}

std::optional<XKeyBinding> xBinding(quint16 keyCode, quint32 carbonModifiers) {
    const auto sym = keysym(keyCode);
    if (!sym) {
        return std::nullopt;
    }
    return XKeyBinding{*sym, xModifiers(carbonModifiers)};
}

}  // namespace KeyCodes
