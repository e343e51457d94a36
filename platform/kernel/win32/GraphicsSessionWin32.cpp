// GDI+ start-up and shut-down through the flat API of gdiplus.dll. Every session is a
// GdiplusStartup of its own whose token GdiplusShutdown takes back, as the plug-in starts one
// per attached window.
#include <windows.h>
// windows.h first: the GDI+ headers build on its types.
#include <gdiplus.h>

#include <atomic>

#include "platform/kernel/GraphicsSession.h"

namespace platform {
namespace {

std::atomic<int> g_active{0};

}  // namespace

uintptr_t StartGraphics() {
    Gdiplus::GdiplusStartupInput input;  // version 1, GDI+'s own background thread
    ULONG_PTR token = 0;
    // No output record: with the background thread kept, GDI+ needs no hook calls from us.
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok || token == 0) return 0;
    ++g_active;
    return static_cast<uintptr_t>(token);
}

void StopGraphics(uintptr_t token) {
    if (token == 0) return;
    Gdiplus::GdiplusShutdown(static_cast<ULONG_PTR>(token));
    --g_active;
}

int ActiveGraphicsSessions() {
    return g_active.load();
}

}  // namespace platform
