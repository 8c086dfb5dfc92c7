#include "clipboard/Keystroke.h"

#include <QHash>

namespace orv {

namespace Keystroke {

namespace {

const PasteChord kControlV{Qt::CTRL | Qt::Key_V};
const PasteChord kControlShiftV{Qt::CTRL | Qt::SHIFT | Qt::Key_V};
const PasteChord kShiftInsertPrimary{Qt::SHIFT | Qt::Key_Insert, true};

// WM_CLASS instance and class names, and the app ids Wayland windows carry, lower-cased.
const QHash<QString, PasteChord>& terminals() {
    static const QHash<QString, PasteChord> table{
        {"xterm", kShiftInsertPrimary},
        {"uxterm", kShiftInsertPrimary},
        {"urxvt", kShiftInsertPrimary},
        {"rxvt", kShiftInsertPrimary},
        {"st", kControlShiftV},
        {"st-256color", kControlShiftV},
        {"xfce4-terminal", kControlShiftV},
        {"gnome-terminal", kControlShiftV},
        {"gnome-terminal-server", kControlShiftV},
        {"konsole", kControlShiftV},
        {"tilix", kControlShiftV},
        {"com.gexperts.tilix", kControlShiftV},
        {"terminator", kControlShiftV},
        {"alacritty", kControlShiftV},
        {"kitty", kControlShiftV},
        {"org.wezfurlong.wezterm", kControlShiftV},
        {"foot", kControlShiftV},
        {"footclient", kControlShiftV},
        {"lxterminal", kControlShiftV},
        {"mate-terminal", kControlShiftV},
        {"qterminal", kControlShiftV},
        {"terminology", kControlShiftV},
        {"org.gnome.terminal", kControlShiftV},
        {"org.gnome.console", kControlShiftV},
        {"kgx", kControlShiftV},
        {"org.kde.konsole", kControlShiftV},
        {"xfce4-terminal.wrapper", kControlShiftV},
        {"org.codeberg.dnkl.foot", kControlShiftV},
        {"org.codeberg.dnkl.footclient", kControlShiftV},
        {"wezterm", kControlShiftV},
        {"ghostty", kControlShiftV},
        {"com.mitchellh.ghostty", kControlShiftV},
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
