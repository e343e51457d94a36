#include "threading/EventHandler.h"

#include <chrono>

namespace Korvane {
namespace Threading {

void EventHandler::Set() {
    // Notified under the lock: the released waiter may destroy the event as soon as it runs.
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = true;
    cond_.notify_one();
}

void EventHandler::Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    signalled_ = false;
}

void EventHandler::Wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    cond_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

bool EventHandler::WaitFor(uint32_t ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!cond_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return signalled_; }))
        return false;
    signalled_ = false;
    return true;
}

}  // namespace Threading
}  // namespace Korvane
