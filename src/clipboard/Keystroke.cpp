#include "clipboard/Keystroke.h"

#include "platform/KeyCodes.h"

#include <QHash>

namespace Keystroke {

namespace {

constexpr quint16 kV = 9;
constexpr quint16 kInsert = 114;

const PasteChord kControlV{kV, CarbonModifier::control};
const PasteChord kControlShiftV{kV, CarbonModifier::control | CarbonModifier::shift};
const PasteChord kShiftInsertPrimary{kInsert, CarbonModifier::shift, true};

// WM_CLASS instance and class names, lower-cased.
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

void post(KeyInjector& injector, const PasteChord& chord) {
    if (const auto binding = KeyCodes::xBinding(chord.keyCode, chord.modifiers)) {
        injector.tap(binding->keysym, binding->modifiers);
    }
}

void commandV(KeyInjector& injector, const Workspace& workspace) {
    post(injector, pasteChord(workspace.frontmostApplication()));
}

}  // namespace Keystroke
