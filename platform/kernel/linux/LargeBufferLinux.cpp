#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

#include "platform/kernel/LargeBuffer.h"

namespace platform {

namespace {

// The transparent huge page of x86-64 and arm64 (4 KiB base pages).
constexpr uintptr_t kHugePageBytes = uintptr_t(2) << 20;

}  // namespace

void AdviseHugePages(const void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
    const uintptr_t start = reinterpret_cast<uintptr_t>(data);
    const uintptr_t first = (start + kHugePageBytes - 1) & ~(kHugePageBytes - 1);
    const uintptr_t last = (start + bytes) & ~(kHugePageBytes - 1);
    // Only whole huge pages: the advice splits the mapping at its ends, and the neighbours of
    // the buffer (the allocator's other blocks) keep small pages.
    if (last <= first) return;
    // A kernel without transparent huge pages refuses the advice; the buffer works as before.
    madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

void ReleasePages(void* data, size_t bytes) {
    const uintptr_t start = reinterpret_cast<uintptr_t>(data);
    const uintptr_t page = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (start + page - 1) & ~(page - 1);
    const uintptr_t last = (start + bytes) & ~(page - 1);
    // Only whole pages: the allocator keeps its own records in the bytes around a buffer.
    if (last <= first) return;
    madvise(reinterpret_cast<void*>(first), last - first, MADV_DONTNEED);
}

void ReleaseFreeHeapPages() {
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

}  // namespace platform
