#include <cstdlib>
#include <memory>

#include "platform/clipboard/DefaultClipboard.h"
#include "platform/clipboard/MemoryClipboard.h"
#include "platform/clipboard/linux/X11Clipboard.h"

namespace platform {

std::shared_ptr<Clipboard> MakeDefaultClipboard() {
    const char* display = std::getenv("DISPLAY");
    if (display && *display) {
        auto x11 = std::make_shared<X11Clipboard>(display);
        if (x11->Connect()) return x11;
    }
    return std::make_shared<MemoryClipboard>();
}

}  // namespace platform
