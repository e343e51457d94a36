#include <mutex>

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/MemoryClipboard.h"

namespace platform {
namespace {

std::mutex g_mutex;

std::shared_ptr<Clipboard>& Slot() {
    static std::shared_ptr<Clipboard> clipboard = std::make_shared<MemoryClipboard>();
    return clipboard;
}

}  // namespace

std::shared_ptr<Clipboard> CurrentClipboard() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return Slot();
}

void SetCurrentClipboard(std::shared_ptr<Clipboard> clipboard) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Slot() = clipboard ? std::move(clipboard) : std::make_shared<MemoryClipboard>();
}

}  // namespace platform
