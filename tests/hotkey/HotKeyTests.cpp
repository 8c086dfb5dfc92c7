#include "hotkey/HotKey.h"
#include "hotkey/StoredHotKey.h"
#include "platform/Keysyms.h"
#include "platform/xdg/ShortcutText.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QTranslator>

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon-keysyms.h>

using namespace orv;

namespace {

constexpr quint32 kControl = 0x1000;
constexpr quint32 kOption = 0x800;
constexpr quint32 kShift = 0x200;
constexpr quint32 kCommand = 0x100;

// As "Preferencias" shows a stored combination.
QString shown(quint16 keyCode, quint32 carbonModifiers) {
    return ShortcutText::of(StoredHotKey{keyCode, carbonModifiers}.combination());
}

std::optional<QKeyCombination> press(int key, Qt::KeyboardModifiers modifiers, quint32 keysym = 0) {
    const QKeyEvent event(QEvent::KeyPress, key, modifiers, 0, keysym, 0);
    return HotKey::fromKeyPress(event);
}

}  // namespace

TEST(HotKey, DisplayIsTheDesktopsOwnShortcutText) {
    EXPECT_EQ(ShortcutText::of(HotKey::defaultCombination), "Ctrl+Alt+V");
    EXPECT_EQ(shown(9, kCommand | kShift | kOption | kControl), "Ctrl+Alt+Mayús+Super+V");
    EXPECT_EQ(shown(36, kControl), "Ctrl+Return");
    EXPECT_EQ(shown(42, kOption), "Alt+\\");
    EXPECT_EQ(shown(22, kShift | 0x10000), "Mayús+6") << "unknown bits are ignored";
    EXPECT_EQ(shown(65535, kControl), "Ctrl+?");
    EXPECT_EQ(shown(65535, 0), "?");

    // In the interface's language through Qt's own translations (qt6-translations-l10n).
    QTranslator spanish;
    ASSERT_TRUE(spanish.load("qtbase_es", QLibraryInfo::path(QLibraryInfo::TranslationsPath)));
    QCoreApplication::installTranslator(&spanish);
    EXPECT_EQ(shown(49, kControl | kShift), "Ctrl+Mayús+Espacio");
    EXPECT_EQ(ShortcutText::of(Qt::CTRL | Qt::Key_Backspace), "Ctrl+Retroceso");
    EXPECT_EQ(ShortcutText::of(Qt::CTRL | Qt::Key_Return), "Ctrl+Retorno");
    QCoreApplication::removeTranslator(&spanish);
}

TEST(HotKey, KeyPressesNeedControlAltOrSuperAndNotEscape) {
    const auto hotKey = [](int key,
                           Qt::KeyboardModifiers modifiers) -> std::optional<QKeyCombination> {
        const auto combination = press(key, modifiers);
        return combination && HotKey::canBeHotKey(*combination) ? combination : std::nullopt;
    };
    EXPECT_FALSE(hotKey(Qt::Key_A, Qt::ShiftModifier));
    EXPECT_FALSE(hotKey(Qt::Key_A, Qt::NoModifier));
    EXPECT_FALSE(hotKey(Qt::Key_A, Qt::ShiftModifier | Qt::GroupSwitchModifier));
    EXPECT_EQ(hotKey(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier),
              Qt::CTRL | Qt::SHIFT | Qt::Key_A);
    EXPECT_FALSE(hotKey(Qt::Key_Escape, Qt::ControlModifier));
    EXPECT_EQ(hotKey(Qt::Key_V, Qt::AltModifier | Qt::MetaModifier | Qt::GroupSwitchModifier |
                                    Qt::KeypadModifier),
              Qt::ALT | Qt::META | Qt::Key_V);
    EXPECT_EQ(hotKey(Qt::Key_Return, Qt::ControlModifier), Qt::CTRL | Qt::Key_Return);
    EXPECT_NE(hotKey(Qt::Key_V, Qt::ControlModifier), hotKey(Qt::Key_V, Qt::AltModifier));
}

TEST(HotKey, KeyPressesBecomeKeysTheSettingsCanKeep) {
    EXPECT_EQ(press(Qt::Key_V, Qt::ControlModifier | Qt::AltModifier),
              Qt::CTRL | Qt::ALT | Qt::Key_V);
    EXPECT_EQ(press(Qt::Key_A, Qt::ShiftModifier | Qt::MetaModifier),
              Qt::SHIFT | Qt::META | Qt::Key_A);
    EXPECT_EQ(press(Qt::Key_Space, Qt::NoModifier), QKeyCombination(Qt::Key_Space));
    EXPECT_EQ(press(Qt::Key_Escape, Qt::NoModifier), QKeyCombination(Qt::Key_Escape));
    EXPECT_EQ(press(Qt::Key_Up, Qt::NoModifier), QKeyCombination(Qt::Key_Up));
    // With Shift, Qt reports the symbol; the key is still the digit's.
    EXPECT_EQ(press(Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier),
              Qt::CTRL | Qt::SHIFT | Qt::Key_1);
    EXPECT_EQ(press(Qt::Key_Backtab, Qt::ShiftModifier), Qt::SHIFT | Qt::Key_Tab);
    // Keypad keys have their own codes; keypad arrows share the plain ones.
    EXPECT_EQ(press(Qt::Key_1, Qt::KeypadModifier), Qt::KeypadModifier | Qt::Key_1);
    EXPECT_EQ(press(Qt::Key_Enter, Qt::KeypadModifier), Qt::KeypadModifier | Qt::Key_Enter);
    EXPECT_EQ(press(Qt::Key_Left, Qt::KeypadModifier), QKeyCombination(Qt::Key_Left));

    // Keys the settings have no code for.
    EXPECT_FALSE(press(Qt::Key_VolumeUp, Qt::NoModifier));
    EXPECT_FALSE(press(Qt::Key_Control, Qt::ControlModifier));
    EXPECT_FALSE(press(Qt::Key_unknown, Qt::ControlModifier));
    EXPECT_FALSE(press(Qt::Key_unknown, Qt::ControlModifier, XKB_KEY_odiaeresis));
    // Unknown to Qt as a key, known by its keysym.
    EXPECT_EQ(press(Qt::Key_unknown, Qt::ControlModifier, XKB_KEY_V), Qt::CTRL | Qt::Key_V);
}

TEST(StoredHotKey, ConvertsToAQtKeyCombinationAndBack) {
    EXPECT_EQ(StoredHotKey::of(HotKey::defaultCombination), (StoredHotKey{9, 6144}));
    EXPECT_EQ((StoredHotKey{49, kCommand | kShift}).combination(),
              QKeyCombination(Qt::MetaModifier | Qt::ShiftModifier, Qt::Key_Space));
    EXPECT_EQ((StoredHotKey{36, kControl | 0x4000}).combination(),
              QKeyCombination(Qt::ControlModifier, Qt::Key_Return));
    EXPECT_EQ((StoredHotKey{76, kControl}).combination(),
              QKeyCombination(Qt::ControlModifier | Qt::KeypadModifier, Qt::Key_Enter));
    EXPECT_EQ(StoredHotKey::of(Qt::ControlModifier | Qt::KeypadModifier | Qt::Key_Enter),
              (StoredHotKey{76, kControl}));
    EXPECT_EQ((StoredHotKey{52, kControl}).combination(),
              QKeyCombination(Qt::ControlModifier, Qt::Key_unknown));
    EXPECT_EQ((StoredHotKey{4000, kControl}).combination().key(), Qt::Key_unknown);
    EXPECT_FALSE(StoredHotKey::of(Qt::CTRL | Qt::Key_unknown));
    EXPECT_FALSE(StoredHotKey::of(Qt::CTRL | Qt::Key_VolumeUp));
    EXPECT_EQ((StoredHotKey{0, 0xFFFFFFFF}).combination().keyboardModifiers(),
              Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier);
}

// Every key the settings can keep can be grabbed and posted, and comes back from its keysym.
TEST(StoredHotKey, EveryStoredKeyHasAKeysym) {
    int keys = 0;
    for (quint16 code = 0; code < 128; ++code) {
        const QKeyCombination combination = StoredHotKey{code, 0}.combination();
        if (combination.key() == Qt::Key_unknown) {
            continue;
        }
        ++keys;
        EXPECT_EQ(StoredHotKey::of(combination), (StoredHotKey{code, 0})) << code;
        const auto sym = Keysyms::keysym(combination);
        ASSERT_TRUE(sym) << code;
        EXPECT_EQ(Keysyms::qtKey(*sym), combination) << code;
    }
    EXPECT_EQ(keys, 101);
}
