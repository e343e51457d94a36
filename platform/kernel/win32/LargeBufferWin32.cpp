#include "platform/kernel/LargeBuffer.h"

namespace platform {

// Windows gives large pages only to processes that hold the lock-pages privilege, which a
// browser does not.
void AdviseHugePages(const void*, size_t) {}

}  // namespace platform
