#include <mutex>

#include "platform/clipboard/Clipboard.h"
#include "platform/clipboard/DefaultClipboard.h"
#include "platform/clipboard/MemoryClipboard.h"

namespace platform {
namespace {

std::mutex g_mutex;

// Chosen on first use, on the thread that first asks (the browser's main thread).
std::shared_ptr<Clipboard>& Slot() {
    static std::shared_ptr<Clipboard> clipboard = MakeDefaultClipboard();
    return clipboard;
}

}  // namespace

std::shared_ptr<Clipboard> CurrentClipboard() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return Slot();
}

// An empty pointer puts an empty in-memory clipboard back, as tests expect between cases.
void SetCurrentClipboard(std::shared_ptr<Clipboard> clipboard) {
    std::lock_guard<std::mutex> lock(g_mutex);
    Slot() = clipboard ? std::move(clipboard) : std::make_shared<MemoryClipboard>();
}

}  // namespace platform
