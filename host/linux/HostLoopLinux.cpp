#include "host/HostLoop.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace host {

HostLoop::HostLoop() {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    wakeRead_ = fds[0];
    wakeWrite_ = fds[1];
}

HostLoop::~HostLoop() {
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

void HostLoop::PostCall(void (*call)(void*), void* data) {
    if (!call) return;
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        wasEmpty = calls_.empty();
        calls_.emplace_back(call, data);
    }
    // One byte per empty-to-queued change; a full pipe already wakes the loop.
    if (wasEmpty && wakeWrite_ >= 0) {
        const char byte = 1;
        while (::write(wakeWrite_, &byte, 1) < 0 && errno == EINTR) {
        }
    }
}

void HostLoop::RunPosted() {
    char drain[64];
    while (::read(wakeRead_, drain, sizeof(drain)) > 0) {
    }
    std::deque<std::pair<void (*)(void*), void*>> batch;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        batch.swap(calls_);
    }
    // Calls posted while these run wait for the next turn of the loop.
    for (const auto& call : batch) call.first(call.second);
}

}  // namespace host
