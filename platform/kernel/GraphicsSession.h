// Per-instance start-up and shut-down of the platform's graphics library (GDI+ on Windows).
// Linux needs no start-up; the sessions are still counted so that a shut-down without a
// start-up is caught.
#pragma once

#include <cstdint>

namespace platform {

// Starts a session; 0 means it failed.
uintptr_t StartGraphics();
// Ends a session started by StartGraphics; a token of 0 does nothing.
void StopGraphics(uintptr_t token);
// Sessions started and not yet ended.
int ActiveGraphicsSessions();

}  // namespace platform
