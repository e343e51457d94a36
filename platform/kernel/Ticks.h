// Millisecond clocks: a wrapping 32-bit tick count and the process clock.
#pragma once

#include <cstdint>

namespace platform {

// Milliseconds since an arbitrary start, wrapping at 2^32 like the Windows tick count.
uint32_t GetTickCount();
// Milliseconds of the process clock, for measuring waits.
int64_t ProcessClockMs();

}  // namespace platform
