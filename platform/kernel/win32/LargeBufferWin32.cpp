#include "platform/kernel/LargeBuffer.h"

namespace platform {

// Windows gives large pages only to processes that hold the lock-pages privilege, which a
// browser does not.
void AdviseHugePages(const void*, size_t) {}

// The heap's blocks are not whole pages of their own; nothing is given back.
void ReleasePages(void*, size_t) {}

// The process heap decommits the pages of large free blocks by itself.
void ReleaseFreeHeapPages() {}

}  // namespace platform
