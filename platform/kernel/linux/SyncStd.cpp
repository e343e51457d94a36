// The re-entrant lock and the auto-reset event over the standard library.
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/kernel/Sync.h"

namespace platform {

struct ReentrantLock::State {
    std::recursive_mutex mutex;
};

ReentrantLock::ReentrantLock() : state_(new State) {}

ReentrantLock::~ReentrantLock() = default;

void ReentrantLock::Lock() {
    state_->mutex.lock();
}

void ReentrantLock::Unlock() {
    state_->mutex.unlock();
}

struct AutoResetEvent::State {
    std::mutex mutex;
    std::condition_variable cond;
    bool signalled = false;
};

AutoResetEvent::AutoResetEvent() : state_(new State) {}

AutoResetEvent::~AutoResetEvent() = default;

void AutoResetEvent::Set() {
    // Notified under the lock: the released waiter may destroy the event as soon as it runs.
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->signalled = true;
    state_->cond.notify_one();
}

void AutoResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->signalled = false;
}

void AutoResetEvent::Wait() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    State& state = *state_;
    state.cond.wait(lock, [&state] { return state.signalled; });
    state.signalled = false;
}

bool AutoResetEvent::WaitFor(uint32_t ms) {
    std::unique_lock<std::mutex> lock(state_->mutex);
    State& state = *state_;
    if (!state.cond.wait_for(lock, std::chrono::milliseconds(ms),
                             [&state] { return state.signalled; }))
        return false;
    state.signalled = false;
    return true;
}

}  // namespace platform
