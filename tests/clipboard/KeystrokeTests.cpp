#include "clipboard/Keystroke.h"
#include "platform/fakes/FakeKeyboard.h"
#include "platform/fakes/FakeWorkspace.h"

#include <gtest/gtest.h>

#include <X11/X.h>
#include <X11/keysym.h>

TEST(Keystroke, PastesWithControlVOrControlShiftVInTerminals) {
    FakeKeyInjector injector;
    FakeWorkspace workspace;
    Keystroke::commandV(injector, workspace);
    workspace.frontmost = std::nullopt;
    Keystroke::commandV(injector, workspace);
    workspace.frontmost = RunningApplication{"Gnome-terminal", "gnome-terminal-server", 1, 2};
    Keystroke::commandV(injector, workspace);
    using Tap = FakeKeyInjector::Tap;
    EXPECT_EQ(
        injector.taps,
        (QList<Tap>{{XK_v, ControlMask}, {XK_v, ControlMask}, {XK_v, ControlMask | ShiftMask}}));

    for (const char* terminal : {"konsole", "xfce4-terminal", "com.gexperts.Tilix", "Terminator",
                                 "kitty", "Alacritty", "foot", "org.wezfurlong.wezterm"}) {
        EXPECT_TRUE(Keystroke::isTerminal({std::nullopt, QString(terminal), 1, 1})) << terminal;
        EXPECT_TRUE(Keystroke::isTerminal({QString(terminal), std::nullopt, 1, 1})) << terminal;
    }
    for (const char* other : {"firefox", "gedit", "org.gnome.TextEditor", ""}) {
        EXPECT_FALSE(Keystroke::isTerminal({QString(other), QString(other), 1, 1})) << other;
    }
}
