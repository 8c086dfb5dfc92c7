#include "clipboard/Keystroke.h"
#include "platform/KeyCodes.h"
#include "platform/fakes/FakeKeyboard.h"
#include "platform/fakes/FakeWorkspace.h"

#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

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
    using Tap = FakeKeyInjector::Tap;
    EXPECT_EQ(injector.taps, (QList<Tap>{{XK_v, ControlMask},
                                         {XK_v, ControlMask},
                                         {XK_v, ControlMask | ShiftMask},
                                         {XK_Insert, ShiftMask}}));
}

TEST(Keystroke, TerminalsAreKnownByTheirExactWindowClassOrInstance) {
    const auto chord = [](const char* instance, const char* windowClass) {
        return Keystroke::pasteChord(RunningApplication{windowClass, instance, 1, 1});
    };
    const Keystroke::PasteChord primary{114, CarbonModifier::shift, true};
    const Keystroke::PasteChord clipboard{9, CarbonModifier::control | CarbonModifier::shift};
    EXPECT_EQ(chord("xterm", "UXTerm"), primary);
    EXPECT_EQ(chord("", "URxvt"), primary);
    for (const char* name :
         {"st-256color", "xfce4-terminal", "gnome-terminal-server", "konsole", "Tilix",
          "Terminator", "Alacritty", "kitty", "org.wezfurlong.wezterm", "foot"}) {
        EXPECT_EQ(chord(name, ""), clipboard) << name;
    }
    // A name that merely contains a terminal's is no terminal.
    for (const char* name : {"xterm-notes", "stellarium", "kittypaint", "footnotes", "firefox"}) {
        EXPECT_EQ(chord(name, name), (Keystroke::PasteChord{9, CarbonModifier::control})) << name;
    }
}
