// One job at a time on a detached worker thread, for a transfer object that owns the gate.
// The gate shares its owner's mutex, so the owner claims it together with the job's state:
//   busy     from a successful claim until the job releases it (before its final signal);
//   workers  until the worker thread has returned, which the owner's destructor waits for.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

class WorkerGate {
  public:
    explicit WorkerGate(std::mutex& ownerMutex) : mutex_(ownerMutex) {}

    // With the owner's mutex held: false while a job runs, else the gate is claimed.
    bool TryClaimLocked();
    // With the owner's mutex held: the job's result is stored, another may start.
    void ReleaseLocked() { busy_ = false; }
    bool IsBusyLocked() const { return busy_; }

    // Runs `work` on a detached thread for the claimed gate. When no thread can be started the
    // claim is undone and boost::thread_resource_error reaches the caller.
    void Start(std::function<void()> work);
    // Without the owner's mutex: waits up to `ms` milliseconds for the worker to return.
    bool WaitUntilIdle(uint32_t ms) const;
    // For the owner's destructor: waits for the worker to return, unless called on that
    // worker (an owner destroyed from one of its own slots).
    void WaitForWorker() const;

  private:
    void WorkerReturned();

    std::mutex& mutex_;
    mutable std::condition_variable idle_;
    bool busy_ = false;
    int workers_ = 0;
};
