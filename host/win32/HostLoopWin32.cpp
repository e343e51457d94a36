#include "host/HostLoop.h"

#include <windows.h>

namespace host {

HostLoop::HostLoop() {
    // Manual reset: set while calls are queued, reset by the loop when it takes them.
    wakeEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
}

HostLoop::~HostLoop() {
    if (wakeEvent_) CloseHandle(static_cast<HANDLE>(wakeEvent_));
}

void HostLoop::PostCall(void (*call)(void*), void* data) {
    if (!call) return;
    std::lock_guard<std::mutex> lock(mutex_);
    const bool wasEmpty = calls_.empty();
    calls_.emplace_back(call, data);
    if (wasEmpty && wakeEvent_) SetEvent(static_cast<HANDLE>(wakeEvent_));
}

void HostLoop::RunPosted() {
    std::deque<std::pair<void (*)(void*), void*>> batch;
    {
        // Reset under the lock: a call posted after the swap sets the event again.
        std::lock_guard<std::mutex> lock(mutex_);
        if (wakeEvent_) ResetEvent(static_cast<HANDLE>(wakeEvent_));
        batch.swap(calls_);
    }
    // Calls posted while these run wait for the next turn of the loop.
    for (const auto& call : batch) call.first(call.second);
}

}  // namespace host
