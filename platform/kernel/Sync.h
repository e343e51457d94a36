// The operating system's synchronisation objects: a re-entrant lock and an event with automatic
// reset. kernel32's critical section and event object on Windows (win32/SyncWin32.cpp), the
// standard library's elsewhere (linux/SyncStd.cpp). threading/ builds its CriticalSection and
// EventHandler on them; the platform's own services, which sit below threading/, use them
// directly.
#pragma once

#include <cstdint>
#include <memory>

namespace platform {

class ReentrantLock {
  public:
    ReentrantLock();
    ~ReentrantLock();
    ReentrantLock(const ReentrantLock&) = delete;
    ReentrantLock& operator=(const ReentrantLock&) = delete;

    void Lock();
    void Unlock();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Set releases one Wait, which resets the event.
class AutoResetEvent {
  public:
    AutoResetEvent();
    ~AutoResetEvent();
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Set();
    void Reset();
    // Waits without a time-out until the event is set, then resets it.
    void Wait();
    // Waits at most `ms` milliseconds; true when the event was set (and is now reset).
    bool WaitFor(uint32_t ms);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace platform
