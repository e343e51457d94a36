#include "Network/WorkerGate.h"

#include <chrono>

#include "threading/Worker.h"

namespace {

// The gate whose worker runs on this thread.
thread_local const WorkerGate* tlsGateOfWorker = nullptr;

}  // namespace

bool WorkerGate::TryClaimLocked() {
    if (busy_) return false;
    busy_ = true;
    ++workers_;
    return true;
}

void WorkerGate::Start(std::function<void()> work) {
    try {
        Korvane::Threading::StartDetachedWorker([this, work] {
            tlsGateOfWorker = this;
            work();
            tlsGateOfWorker = nullptr;
            WorkerReturned();
        });
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = false;
        --workers_;
        idle_.notify_all();
        throw;
    }
}

void WorkerGate::WorkerReturned() {
    // The owner may be destroyed as soon as the mutex is released: nothing of it is touched
    // after this block.
    std::lock_guard<std::mutex> lock(mutex_);
    --workers_;
    idle_.notify_all();
}

bool WorkerGate::WaitUntilIdle(uint32_t ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return workers_ == 0; });
}

void WorkerGate::WaitForWorker() const {
    if (tlsGateOfWorker == this) return;
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return workers_ == 0; });
}
