#include "hotkey/HotKeyCombo.h"
#include "platform/xdg/ShortcutText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <gtest/gtest.h>

using namespace orv;

namespace {

constexpr quint32 kControl = CarbonModifier::control;
constexpr quint32 kOption = CarbonModifier::option;
constexpr quint32 kShift = CarbonModifier::shift;
constexpr quint32 kCommand = CarbonModifier::command;

}  // namespace

TEST(HotKeyCombo, DisplayIsTheDesktopsOwnShortcutText) {
    EXPECT_EQ(HotKeyCombo{}.display(), "Ctrl+Alt+V");
    EXPECT_EQ((HotKeyCombo{9, kCommand | kShift | kOption | kControl}).display(),
              "Ctrl+Alt+Mayús+Super+V");
    EXPECT_EQ((HotKeyCombo{36, kControl}).display(), "Ctrl+Return");
    EXPECT_EQ((HotKeyCombo{42, kOption}).display(), "Alt+\\");
    EXPECT_EQ((HotKeyCombo{22, kShift | 0x10000}).display(), "Mayús+6")
        << "unknown bits are ignored";
    EXPECT_EQ((HotKeyCombo{65535, kControl}).display(), "Ctrl+?");
    EXPECT_EQ((HotKeyCombo{65535, 0}).display(), "?");

    // In the interface's language through Qt's own translations (qt6-translations-l10n).
    QTranslator spanish;
    ASSERT_TRUE(spanish.load("qtbase_es", QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    QCoreApplication::installTranslator(&spanish);
    EXPECT_EQ((HotKeyCombo{49, kControl | kShift}).display(), "Ctrl+Mayús+Espacio");
    EXPECT_EQ(ShortcutText::of(Qt::CTRL | Qt::Key_Backspace), "Ctrl+Retroceso");
    EXPECT_EQ(ShortcutText::of(Qt::CTRL | Qt::Key_Return), "Ctrl+Retorno");
    QCoreApplication::removeTranslator(&spanish);
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
