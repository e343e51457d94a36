#include "host/TestClipboard.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/clipboard/MemoryClipboard.h"

namespace host {

void InstallTestClipboard() {
    const char* path = std::getenv("QUILLON_HOST_CLIPBOARD_HTML");
    if (!path || !*path) return;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    auto clipboard = std::make_shared<platform::MemoryClipboard>();
    clipboard->SetHtml(bytes.str());
    platform::SetCurrentClipboard(clipboard);
}

}  // namespace host
