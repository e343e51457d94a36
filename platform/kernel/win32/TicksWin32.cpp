// The Windows tick counts of kernel32.
#include <windows.h>

#include "platform/kernel/Ticks.h"

namespace platform {

uint32_t GetTickCount() {
    return static_cast<uint32_t>(::GetTickCount());
}

int64_t ProcessClockMs() {
    // The 64-bit count never wraps during a process's life.
    return static_cast<int64_t>(::GetTickCount64());
}

}  // namespace platform
