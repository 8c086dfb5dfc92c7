#pragma once

#include "platform/Pasteboard.h"
#include "store/Clip.h"

namespace orv {

// Puts a stored clip back on the clipboard so that any application can paste it. Every check runs
// before the clipboard is touched: on failure it keeps what it had.
namespace ClipboardWriter {

// Raises WriteError (a missing image or file, an invalid colour) or FileError (an image file that
// cannot be read).
void write(const Clip& clip, Pasteboard& pasteboard);

// What a clip becomes on the clipboard, without writing it.
PasteboardContents contents(const Clip& clip);

}  // namespace ClipboardWriter

}  // namespace orv
