#include "platform/x11/X11Keysyms.h"

#include <X11/X.h>
#include <X11/keysym.h>

namespace orv {

namespace X11Keysyms {

namespace {

struct Row {
    int qtKey;
    quint32 keysym;
    bool keypad = false;
};

// clang-format off
constexpr Row kRows[] = {
    {Qt::Key_A, XK_a}, {Qt::Key_S, XK_s}, {Qt::Key_D, XK_d}, {Qt::Key_F, XK_f}, {Qt::Key_H, XK_h},
    {Qt::Key_G, XK_g}, {Qt::Key_Z, XK_z}, {Qt::Key_X, XK_x}, {Qt::Key_C, XK_c}, {Qt::Key_V, XK_v},
    {Qt::Key_section, XK_section}, {Qt::Key_B, XK_b}, {Qt::Key_Q, XK_q}, {Qt::Key_W, XK_w},
    {Qt::Key_E, XK_e}, {Qt::Key_R, XK_r}, {Qt::Key_Y, XK_y}, {Qt::Key_T, XK_t}, {Qt::Key_1, XK_1},
    {Qt::Key_2, XK_2}, {Qt::Key_3, XK_3}, {Qt::Key_4, XK_4}, {Qt::Key_6, XK_6}, {Qt::Key_5, XK_5},
    {Qt::Key_Equal, XK_equal}, {Qt::Key_9, XK_9}, {Qt::Key_7, XK_7}, {Qt::Key_Minus, XK_minus},
    {Qt::Key_8, XK_8}, {Qt::Key_0, XK_0}, {Qt::Key_BracketRight, XK_bracketright},
    {Qt::Key_O, XK_o}, {Qt::Key_U, XK_u}, {Qt::Key_BracketLeft, XK_bracketleft}, {Qt::Key_I, XK_i},
    {Qt::Key_P, XK_p}, {Qt::Key_Return, XK_Return}, {Qt::Key_L, XK_l}, {Qt::Key_J, XK_j},
    {Qt::Key_Apostrophe, XK_apostrophe}, {Qt::Key_K, XK_k}, {Qt::Key_Semicolon, XK_semicolon},
    {Qt::Key_Backslash, XK_backslash}, {Qt::Key_Comma, XK_comma}, {Qt::Key_Slash, XK_slash},
    {Qt::Key_N, XK_n}, {Qt::Key_M, XK_m}, {Qt::Key_Period, XK_period}, {Qt::Key_Tab, XK_Tab},
    {Qt::Key_Space, XK_space}, {Qt::Key_QuoteLeft, XK_grave}, {Qt::Key_Backspace, XK_BackSpace},
    {Qt::Key_Escape, XK_Escape}, {Qt::Key_Period, XK_KP_Decimal, true},
    {Qt::Key_Asterisk, XK_KP_Multiply, true}, {Qt::Key_Plus, XK_KP_Add, true},
    {Qt::Key_Clear, XK_Clear, true}, {Qt::Key_Slash, XK_KP_Divide, true},
    {Qt::Key_Enter, XK_KP_Enter, true}, {Qt::Key_Minus, XK_KP_Subtract, true},
    {Qt::Key_Equal, XK_KP_Equal, true}, {Qt::Key_0, XK_KP_0, true}, {Qt::Key_1, XK_KP_1, true},
    {Qt::Key_2, XK_KP_2, true}, {Qt::Key_3, XK_KP_3, true}, {Qt::Key_4, XK_KP_4, true},
    {Qt::Key_5, XK_KP_5, true}, {Qt::Key_6, XK_KP_6, true}, {Qt::Key_7, XK_KP_7, true},
    {Qt::Key_8, XK_KP_8, true}, {Qt::Key_9, XK_KP_9, true}, {Qt::Key_F1, XK_F1},
    {Qt::Key_F2, XK_F2}, {Qt::Key_F3, XK_F3}, {Qt::Key_F4, XK_F4}, {Qt::Key_F5, XK_F5},
    {Qt::Key_F6, XK_F6}, {Qt::Key_F7, XK_F7}, {Qt::Key_F8, XK_F8}, {Qt::Key_F9, XK_F9},
    {Qt::Key_F10, XK_F10}, {Qt::Key_F11, XK_F11}, {Qt::Key_F12, XK_F12}, {Qt::Key_F13, XK_F13},
    {Qt::Key_F14, XK_F14}, {Qt::Key_F15, XK_F15}, {Qt::Key_F16, XK_F16}, {Qt::Key_F17, XK_F17},
    {Qt::Key_F18, XK_F18}, {Qt::Key_F19, XK_F19}, {Qt::Key_F20, XK_F20},
    {Qt::Key_Insert, XK_Insert}, {Qt::Key_Home, XK_Home}, {Qt::Key_PageUp, XK_Prior},
    {Qt::Key_Delete, XK_Delete}, {Qt::Key_End, XK_End}, {Qt::Key_PageDown, XK_Next},
    {Qt::Key_Left, XK_Left}, {Qt::Key_Right, XK_Right}, {Qt::Key_Down, XK_Down},
    {Qt::Key_Up, XK_Up},
};
// clang-format on

}  // namespace

std::optional<quint32> keysym(QKeyCombination key) {
    const bool keypad = key.keyboardModifiers().testFlag(Qt::KeypadModifier);
    for (const Row& row : kRows) {
        if (row.qtKey == key.key() && row.keypad == keypad) {
            return row.keysym;
        }
    }
    return std::nullopt;
}

std::optional<QKeyCombination> qtKey(quint32 keysym) {
    if (keysym >= XK_A && keysym <= XK_Z) {
        keysym += XK_a - XK_A;
    }
    for (const Row& row : kRows) {
        if (row.keysym == keysym) {
            return QKeyCombination(row.keypad ? Qt::KeypadModifier : Qt::NoModifier,
                                   Qt::Key(row.qtKey));
        }
    }
    return std::nullopt;
}

quint32 modifiers(Qt::KeyboardModifiers modifiers) {
    quint32 mask = 0;
    mask |= modifiers.testFlag(Qt::ControlModifier) ? ControlMask : 0;
    mask |= modifiers.testFlag(Qt::AltModifier) ? Mod1Mask : 0;
    mask |= modifiers.testFlag(Qt::ShiftModifier) ? ShiftMask : 0;
    mask |= modifiers.testFlag(Qt::MetaModifier) ? Mod4Mask : 0;
    return mask;
}

}  // namespace X11Keysyms

}  // namespace orv
