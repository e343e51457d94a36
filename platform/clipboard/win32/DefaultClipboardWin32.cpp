#include <memory>

#include "platform/clipboard/DefaultClipboard.h"
#include "platform/clipboard/win32/Win32Clipboard.h"

namespace platform {

std::shared_ptr<Clipboard> MakeDefaultClipboard() {
    return std::make_shared<Win32Clipboard>();
}

}  // namespace platform
