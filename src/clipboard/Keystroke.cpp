#include "clipboard/Keystroke.h"

#include "platform/KeyCodes.h"

#include <QStringList>

namespace Keystroke {

bool isTerminal(const RunningApplication& application) {
    static const QStringList terminals{"gnome-terminal", "konsole",    "xfce4-terminal",
                                       "tilix",          "terminator", "kitty",
                                       "alacritty",      "foot",       "wezterm"};
    for (const auto& name : {application.bundleIdentifier, application.localizedName}) {
        const QString lower = name.value_or(QString()).toLower();
        for (const QString& terminal : terminals) {
            if (lower.contains(terminal)) {
                return true;
            }
        }
    }
    return false;
}

void commandV(KeyInjector& injector, const Workspace& workspace) {
    constexpr quint16 vKey = 9;
    const auto front = workspace.frontmostApplication();
    quint32 modifiers = CarbonModifier::control;
    if (front && isTerminal(*front)) {
        modifiers |= CarbonModifier::shift;
    }
    if (const auto binding = KeyCodes::xBinding(vKey, modifiers)) {
        injector.tap(binding->keysym, binding->modifiers);
    }
}

}  // namespace Keystroke
