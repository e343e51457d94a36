// The clipboard a process starts with: the desktop's when one can be reached, else an empty
// in-memory clipboard (headless runs, tests, command-line tools).
#pragma once

#include <memory>

#include "platform/clipboard/Clipboard.h"

namespace platform {

// The X11 clipboard when $DISPLAY is set and a connection to it succeeds, otherwise a new
// MemoryClipboard.
std::shared_ptr<Clipboard> MakeDefaultClipboard();

}  // namespace platform
