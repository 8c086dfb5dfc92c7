#pragma once

#include "platform/KeyInjector.h"

#include <QKeyCombination>
#include "platform/Workspace.h"

#include <optional>

namespace orv {

// The synthetic paste.
namespace Keystroke {

// The key press that makes a window paste.
struct PasteChord {
    QKeyCombination key;
    // The window pastes the PRIMARY selection on this chord, not the clipboard.
    bool pastesPrimary = false;
    bool operator==(const PasteChord&) const = default;
};

// Ctrl+V, except in the terminal emulators we know, matched exactly (ignoring case) on their window
// class or instance name: xterm and rxvt paste PRIMARY with Shift+Insert, the others the clipboard
// with Ctrl+Shift+V (Ctrl+V means something else in a terminal).
PasteChord pasteChord(const std::optional<RunningApplication>& application);

// Presses the chord with exactly its modifiers, whatever the user is holding. False when nothing
// could be posted.
bool post(KeyInjector& injector, const PasteChord& chord);

// One press of the paste chord of the window in front.
void commandV(KeyInjector& injector, const Workspace& workspace);

}  // namespace Keystroke

}  // namespace orv
