#include "clipboard/Keystroke.h"

#include <QHash>

namespace orv {

namespace Keystroke {

namespace {

const PasteChord kControlV{Qt::CTRL | Qt::Key_V};
const PasteChord kControlShiftV{Qt::CTRL | Qt::SHIFT | Qt::Key_V};
const PasteChord kShiftInsertPrimary{Qt::SHIFT | Qt::Key_Insert, true};

// WM_CLASS instance and class names, and the app ids Wayland windows carry, lower-cased.
using namespace Qt::Literals::StringLiterals;

const QHash<QString, PasteChord>& terminals() {
    static const QHash<QString, PasteChord> table{
        {u"xterm"_s, kShiftInsertPrimary},
        {u"uxterm"_s, kShiftInsertPrimary},
        {u"urxvt"_s, kShiftInsertPrimary},
        {u"rxvt"_s, kShiftInsertPrimary},
        {u"st"_s, kControlShiftV},
        {u"st-256color"_s, kControlShiftV},
        {u"xfce4-terminal"_s, kControlShiftV},
        {u"gnome-terminal"_s, kControlShiftV},
        {u"gnome-terminal-server"_s, kControlShiftV},
        {u"konsole"_s, kControlShiftV},
        {u"tilix"_s, kControlShiftV},
        {u"com.gexperts.tilix"_s, kControlShiftV},
        {u"terminator"_s, kControlShiftV},
        {u"alacritty"_s, kControlShiftV},
        {u"kitty"_s, kControlShiftV},
        {u"org.wezfurlong.wezterm"_s, kControlShiftV},
        {u"foot"_s, kControlShiftV},
        {u"footclient"_s, kControlShiftV},
        {u"lxterminal"_s, kControlShiftV},
        {u"mate-terminal"_s, kControlShiftV},
        {u"qterminal"_s, kControlShiftV},
        {u"terminology"_s, kControlShiftV},
        {u"org.gnome.terminal"_s, kControlShiftV},
        {u"org.gnome.console"_s, kControlShiftV},
        {u"kgx"_s, kControlShiftV},
        {u"org.kde.konsole"_s, kControlShiftV},
        {u"xfce4-terminal.wrapper"_s, kControlShiftV},
        {u"org.codeberg.dnkl.foot"_s, kControlShiftV},
        {u"org.codeberg.dnkl.footclient"_s, kControlShiftV},
        {u"wezterm"_s, kControlShiftV},
        {u"ghostty"_s, kControlShiftV},
        {u"com.mitchellh.ghostty"_s, kControlShiftV},
    };
    return table;
}

}  // namespace

PasteChord pasteChord(const std::optional<RunningApplication>& application) {
    if (application) {
        for (const auto& name : {application->bundleIdentifier, application->localizedName}) {
            if (const auto found = terminals().constFind(name.value_or(QString()).toLower());
                found != terminals().cend()) {
                return *found;
            }
        }
    }
    return kControlV;
}

bool post(KeyInjector& injector, const PasteChord& chord) {
    return injector.tap(chord.key);
}

void commandV(KeyInjector& injector, const Workspace& workspace) {
    post(injector, pasteChord(workspace.frontmostApplication()));
}

}  // namespace Keystroke

}  // namespace orv
