#include "clipboard/Keystroke.h"
#include "platform/fakes/FakeKeyboard.h"
#include "platform/fakes/FakeWorkspace.h"

#include <gtest/gtest.h>

using namespace orv;

TEST(Keystroke, PastesWithTheChordOfTheWindowInFront) {
    FakeKeyInjector injector;
    FakeWorkspace workspace;
    Keystroke::commandV(injector, workspace);
    workspace.frontmost = std::nullopt;
    Keystroke::commandV(injector, workspace);
    workspace.frontmost = RunningApplication{"Gnome-terminal", "gnome-terminal-server", 1, 2};
    Keystroke::commandV(injector, workspace);
    workspace.frontmost = RunningApplication{"XTerm", "xterm", 1, 2};
    Keystroke::commandV(injector, workspace);
    EXPECT_EQ(injector.taps, (QList<QKeyCombination>{Qt::CTRL | Qt::Key_V, Qt::CTRL | Qt::Key_V,
                                                     Qt::CTRL | Qt::SHIFT | Qt::Key_V,
                                                     Qt::SHIFT | Qt::Key_Insert}));
}

TEST(Keystroke, TerminalsAreKnownByTheirExactWindowClassOrInstance) {
    const auto chord = [](const char* instance, const char* windowClass) {
        return Keystroke::pasteChord(RunningApplication{windowClass, instance, 1, 1});
    };
    const Keystroke::PasteChord primary{Qt::SHIFT | Qt::Key_Insert, true};
    const Keystroke::PasteChord clipboard{Qt::CTRL | Qt::SHIFT | Qt::Key_V};
    EXPECT_EQ(chord("xterm", "UXTerm"), primary);
    EXPECT_EQ(chord("", "URxvt"), primary);
    for (const char* name :
         {"st-256color", "xfce4-terminal", "gnome-terminal-server", "konsole", "Tilix",
          "Terminator", "Alacritty", "kitty", "org.wezfurlong.wezterm", "foot",
          // Wayland app ids
          "org.gnome.Terminal", "org.kde.konsole", "org.gnome.Console"}) {
        EXPECT_EQ(chord(name, ""), clipboard) << name;
    }
    // A name that merely contains a terminal's is no terminal.
    for (const char* name : {"xterm-notes", "stellarium", "kittypaint", "footnotes", "firefox"}) {
        EXPECT_EQ(chord(name, name), (Keystroke::PasteChord{Qt::CTRL | Qt::Key_V})) << name;
    }
}
