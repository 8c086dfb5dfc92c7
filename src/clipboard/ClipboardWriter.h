#pragma once

#include "platform/Pasteboard.h"
#include "store/CapturedClip.h"
#include "store/Clip.h"

namespace orv {

// Puts a stored clip back on the clipboard so that any application can paste it. Every check runs
// before the clipboard is touched: on failure it keeps what it had.
namespace ClipboardWriter {

// Raises Error (a missing image or file, an invalid colour) or Error (an image file that
// cannot be read).
void write(const Clip& clip, Pasteboard& pasteboard);

// What a clip becomes on the clipboard, without writing it.
PasteboardContents contents(const Clip& clip);

// A capture as it was just read, put back as a stored clip of it would be (its image from the
// bytes read, its files whether or not they still exist). Raises Error for an invalid colour.
void write(const CapturedClip& clip, Pasteboard& pasteboard);
PasteboardContents contents(const CapturedClip& clip);

}  // namespace ClipboardWriter

}  // namespace orv
