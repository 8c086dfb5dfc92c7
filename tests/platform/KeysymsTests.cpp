#include "platform/Keysyms.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon-keysyms.h>

// Xlib's macros clash with gtest's names: after it.
#include "platform/x11/X11Keymap.h"

using namespace orv;

TEST(Keysyms, QtKeysAndKeysymsBothWays) {
    EXPECT_EQ(Keysyms::keysym(Qt::CTRL | Qt::Key_V), XKB_KEY_v) << "letters in lower case";
    EXPECT_EQ(Keysyms::qtKey(XKB_KEY_Q), QKeyCombination(Qt::Key_Q));
    EXPECT_EQ(Keysyms::qtKey(XKB_KEY_q), QKeyCombination(Qt::Key_Q));
    EXPECT_EQ(Keysyms::keysym(Qt::Key_Insert), XKB_KEY_Insert);
    EXPECT_EQ(Keysyms::keysym(Qt::Key_F24), XKB_KEY_F24);
    EXPECT_EQ(Keysyms::keysym(Qt::Key_Control), XKB_KEY_Control_L);
    EXPECT_EQ(Keysyms::keysym(Qt::Key_NumLock), XKB_KEY_Num_Lock);
    EXPECT_EQ(Keysyms::keysym(QKeyCombination(Qt::Key_Plus)), XKB_KEY_plus);
    EXPECT_EQ(Keysyms::keysym(Qt::KeypadModifier | Qt::Key_Plus), XKB_KEY_KP_Add);
    EXPECT_EQ(Keysyms::keysym(Qt::KeypadModifier | Qt::Key_5), XKB_KEY_KP_5);
    EXPECT_EQ(Keysyms::keysym(QKeyCombination(Qt::Key_Enter)), XKB_KEY_KP_Enter);
    EXPECT_EQ(Keysyms::qtKey(XKB_KEY_KP_Enter), Qt::KeypadModifier | Qt::Key_Enter);
    EXPECT_FALSE(Keysyms::keysym(Qt::KeypadModifier | Qt::Key_Left));
    EXPECT_FALSE(Keysyms::keysym(QKeyCombination(Qt::Key_MediaPlay)));
    EXPECT_FALSE(Keysyms::keysym(QKeyCombination(Qt::Key_unknown)));
    EXPECT_FALSE(Keysyms::qtKey(XKB_KEY_XF86AudioPlay));

    EXPECT_EQ(Keysyms::name(XKB_KEY_v), "v");
    EXPECT_EQ(Keysyms::name(XKB_KEY_Return), "Return");
    EXPECT_EQ(X11Keymap::modifierMask(Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier |
                                      Qt::MetaModifier | Qt::KeypadModifier),
              4u | 8u | 1u | 64u);
}
