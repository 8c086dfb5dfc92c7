#pragma once

#include "platform/Pasteboard.h"
#include "platform/SelectionReadLimits.h"
#include "platform/Workspace.h"
#include "store/CapturedClip.h"

#include <optional>

namespace orv {

// Turns what is on the clipboard now into one clip, or nothing: concealed, transient and
// auto-generated content and what this program itself put there (whatever window is in front)
// are skipped.
namespace ClipboardReader {

// Files first, then an image, a colour, and text. Keeps no state, so it may run in any thread
// (the monitor reads in a worker).
std::optional<CapturedClip> read(const ReadablePasteboard& pasteboard, const Workspace& workspace);

// "#RRGGBB" for an opaque colour, else "#RRGGBBAA": components × 255 rounded half away from zero.
QString hexOf(double red, double green, double blue, double alpha);

}  // namespace ClipboardReader

}  // namespace orv
