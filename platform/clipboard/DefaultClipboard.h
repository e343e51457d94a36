// The clipboard a process starts with: the desktop's when one can be reached, else an empty
// in-memory clipboard (headless runs, tests, command-line tools). One definition per platform:
// DefaultClipboardX11.cpp, win32/DefaultClipboardWin32.cpp.
#pragma once

#include <memory>

#include "platform/clipboard/Clipboard.h"

namespace platform {

// Linux: the X11 clipboard when $DISPLAY is set and a connection to it succeeds, otherwise a
// new MemoryClipboard. Windows: the system clipboard.
std::shared_ptr<Clipboard> MakeDefaultClipboard();

}  // namespace platform
