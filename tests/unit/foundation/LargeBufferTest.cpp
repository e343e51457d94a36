// The large buffers of a paste ask for huge pages: where the kernel gives them on request, a
// written buffer is backed by them (one page fault per 2 MiB instead of per 4 KiB).
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/kernel/LargeBuffer.h"

namespace {

// The selected word of /sys/kernel/mm/transparent_hugepage/enabled ("always [madvise] never").
std::string HugePageMode() {
    std::ifstream in("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string line;
    std::getline(in, line);
    const size_t a = line.find('[');
    const size_t b = line.find(']');
    if (a == std::string::npos || b == std::string::npos || b < a) return std::string();
    return line.substr(a + 1, b - a - 1);
}

// "AnonHugePages" of the mapping that holds `p`, in kB, from /proc/self/smaps; -1 when none does.
long AnonHugePagesKb(const void* p) {
    const uintptr_t at = reinterpret_cast<uintptr_t>(p);
    std::ifstream smaps("/proc/self/smaps");
    bool inside = false;
    for (std::string line; std::getline(smaps, line);) {
        uintptr_t start = 0;
        uintptr_t end = 0;
        char dash = 0;
        std::istringstream head(line);
        if (head >> std::hex >> start >> dash >> end && dash == '-') {
            inside = start <= at && at < end;
            continue;
        }
        if (inside && line.compare(0, 14, "AnonHugePages:") == 0) {
            return std::atol(line.c_str() + 14);
        }
    }
    return -1;
}

TEST(LargeBufferTest, AWrittenLargeBufferIsBackedByHugePages) {
    const std::string mode = HugePageMode();
    if (mode != "madvise" && mode != "always") {
        GTEST_SKIP() << "this kernel gives no transparent huge pages (" << mode << ")";
    }
    const size_t size = size_t{16} << 20;
    std::string buffer;
    platform::ReserveLarge(buffer, size);
    buffer.assign(size, 'x');
    // The middle of the buffer lies in whole huge pages whatever the allocator's alignment.
    EXPECT_GE(AnonHugePagesKb(buffer.data() + size / 2), 2048) << "mode " << mode;
    EXPECT_EQ(buffer.find_first_not_of('x'), std::string::npos);
}

}  // namespace
