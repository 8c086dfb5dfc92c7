#include "platform/KeyCodes.h"
#include "platform/KeyEvent.h"
#include "platform/x11/X11Keysyms.h"

#include <QKeyEvent>

#include <gtest/gtest.h>

#include <X11/keysym.h>

using namespace orv;

namespace {

std::optional<KeyEvent> press(int key, Qt::KeyboardModifiers modifiers, quint32 keysym = 0) {
    const QKeyEvent event(QEvent::KeyPress, key, modifiers, 0, keysym, 0);
    return KeyEvent::from(event);
}

}  // namespace

TEST(KeyEvent, QtPressesBecomeVirtualKeysWithPhysicalModifiers) {
    using namespace ModifierFlag;
    EXPECT_EQ(press(Qt::Key_V, Qt::ControlModifier | Qt::AltModifier),
              (KeyEvent{9, control | option}));
    EXPECT_EQ(press(Qt::Key_A, Qt::ShiftModifier | Qt::MetaModifier),
              (KeyEvent{0, shift | command}));
    EXPECT_EQ(press(Qt::Key_Space, Qt::NoModifier), (KeyEvent{49, 0}));
    EXPECT_EQ(press(Qt::Key_Return, Qt::NoModifier), (KeyEvent{36, 0}));
    EXPECT_EQ(press(Qt::Key_Escape, Qt::NoModifier), (KeyEvent{53, 0}));
    EXPECT_EQ(press(Qt::Key_Up, Qt::NoModifier), (KeyEvent{126, 0}));
    // With Shift, Qt reports the symbol; the key is still the digit's.
    EXPECT_EQ(press(Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier),
              (KeyEvent{18, control | shift}));
    EXPECT_EQ(press(Qt::Key_Backtab, Qt::ShiftModifier), (KeyEvent{48, shift}));
    // Keypad keys have their own codes; keypad arrows share the plain ones.
    EXPECT_EQ(press(Qt::Key_1, Qt::KeypadModifier), (KeyEvent{83, numericPad}));
    EXPECT_EQ(press(Qt::Key_Enter, Qt::KeypadModifier), (KeyEvent{76, numericPad}));
    EXPECT_EQ(press(Qt::Key_Left, Qt::KeypadModifier), (KeyEvent{123, numericPad}));
}

TEST(KeyEvent, KeysWithoutAVirtualCodeGiveNothing) {
    EXPECT_FALSE(press(Qt::Key_VolumeUp, Qt::NoModifier));
    EXPECT_FALSE(press(Qt::Key_Control, Qt::ControlModifier));
    EXPECT_FALSE(press(Qt::Key_unknown, Qt::ControlModifier));
    EXPECT_FALSE(press(Qt::Key_unknown, Qt::ControlModifier, XK_odiaeresis));
    // Unknown to Qt as a key, known by its keysym.
    EXPECT_EQ(press(Qt::Key_unknown, Qt::ControlModifier, XK_V),
              (KeyEvent{9, ModifierFlag::control}));
}

TEST(KeyCodes, TablesAgreeBothWays) {
    for (quint16 code = 0; code < 128; ++code) {
        const auto combination = KeyCodes::combination(code, 0);
        EXPECT_EQ(combination.has_value(), KeyCodes::qtKey(code).has_value()) << code;
        if (combination) {
            const auto sym = X11Keysyms::keysym(*combination);
            ASSERT_TRUE(sym) << code;
            EXPECT_EQ(X11Keysyms::qtKey(*sym), combination) << code;
        }
    }
    EXPECT_EQ(X11Keysyms::qtKey(XK_Q), QKeyCombination(Qt::Key_Q));
    EXPECT_FALSE(KeyCodes::combination(52, 0));
    EXPECT_EQ(KeyCodes::qtModifiers(0xFFFFFFFF),
              Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
    EXPECT_EQ(X11Keysyms::modifiers(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                                    Qt::MetaModifier | Qt::KeypadModifier),
              4u | 8u | 1u | 64u);
}
