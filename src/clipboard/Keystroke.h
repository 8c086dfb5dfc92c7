#pragma once

#include "platform/KeyInjector.h"
#include "platform/Workspace.h"

// The synthetic paste.
namespace Keystroke {

// One press of the paste shortcut that the window in front understands: Ctrl+V, or Ctrl+Shift+V
// in a terminal emulator; exactly those modifiers, whatever the user is holding.
void commandV(KeyInjector& injector, const Workspace& workspace);

// Terminal emulators paste with Ctrl+Shift+V (Ctrl+V means something else there).
bool isTerminal(const RunningApplication& application);

}  // namespace Keystroke
