#include "hotkey/HotKeyCombo.h"

#include <gtest/gtest.h>

using namespace orv;

namespace {

constexpr quint32 kControl = CarbonModifier::control;
constexpr quint32 kOption = CarbonModifier::option;
constexpr quint32 kShift = CarbonModifier::shift;
constexpr quint32 kCommand = CarbonModifier::command;

}  // namespace

TEST(HotKeyCombo, DisplayListsModifiersInFixedOrderThenTheKeyName) {
    EXPECT_EQ(HotKeyCombo{}.display(), "⌃⌥V");
    EXPECT_EQ((HotKeyCombo{9, kCommand | kShift | kOption | kControl}).display(), "⌃⌥⇧⌘V");
    EXPECT_EQ((HotKeyCombo{49, kCommand}).display(), "⌘Espacio");
    EXPECT_EQ((HotKeyCombo{36, kControl}).display(), "⌃?");
    EXPECT_EQ((HotKeyCombo{42, kOption}).display(), "⌥\\");
    EXPECT_EQ((HotKeyCombo{22, kShift | 0x10000}).display(), "⇧6") << "unknown bits are ignored";
    EXPECT_EQ((HotKeyCombo{65535, 0}).display(), "?");

    int named = 0;
    for (quint16 code = 0; code < 256; ++code) {
        named += HotKeyCombo{code, 0}.display() != "?" ? 1 : 0;
    }
    EXPECT_EQ(named, 47);
    for (quint16 unnamed : {10, 36, 48, 50, 51, 53, 123}) {
        EXPECT_EQ(HotKeyCombo({unnamed, 0}).display(), "?") << unnamed;
    }
}

TEST(HotKeyCombo, KeyPressesNeedControlOptionOrCommandAndNotEscape) {
    using namespace ModifierFlag;
    EXPECT_FALSE(HotKeyCombo::from({0, shift}));
    EXPECT_FALSE(HotKeyCombo::from({0, 0}));
    EXPECT_FALSE(HotKeyCombo::from({0, shift | capsLock | function}));
    EXPECT_EQ(HotKeyCombo::from({0, control | shift}), (HotKeyCombo{0, 0x1200}));
    EXPECT_FALSE(HotKeyCombo::from({53, control}));
    EXPECT_EQ(HotKeyCombo::from({9, option | command | capsLock | numericPad}),
              (HotKeyCombo{9, kOption | kCommand}));
    EXPECT_EQ(HotKeyCombo::from({36, control}), (HotKeyCombo{36, kControl}));
    EXPECT_NE((HotKeyCombo{9, kControl}), (HotKeyCombo{9, kOption}));
}

TEST(HotKeyCombo, ConvertsToAQtKeyCombination) {
    EXPECT_EQ(HotKeyCombo{}.keyCombination(),
              QKeyCombination(Qt::ControlModifier | Qt::AltModifier, Qt::Key_V));
    EXPECT_EQ((HotKeyCombo{49, kCommand | kShift}).keyCombination(),
              QKeyCombination(Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_Space));
    EXPECT_EQ((HotKeyCombo{36, kControl | 0x4000}).keyCombination(),
              QKeyCombination(Qt::ControlModifier, Qt::Key_Return));
    EXPECT_EQ((HotKeyCombo{76, kControl}).keyCombination(),
              QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Enter));
    EXPECT_FALSE((HotKeyCombo{52, kControl}).keyCombination());
    EXPECT_FALSE((HotKeyCombo{4000, kControl}).keyCombination());
}
