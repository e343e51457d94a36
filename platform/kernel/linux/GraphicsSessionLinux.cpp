#include <atomic>

#include "platform/kernel/GraphicsSession.h"

namespace platform {
namespace {

std::atomic<int> g_active{0};
std::atomic<uintptr_t> g_nextToken{1};

}  // namespace

uintptr_t StartGraphics() {
    ++g_active;
    return g_nextToken++;
}

void StopGraphics(uintptr_t token) {
    if (token != 0) --g_active;
}

int ActiveGraphicsSessions() {
    return g_active.load();
}

}  // namespace platform
