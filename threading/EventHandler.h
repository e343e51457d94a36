// A waitable event with automatic reset: Set releases one Wait, which resets it. A Windows event
// object on Windows (platform/kernel/win32), a condition variable elsewhere.
#pragma once

#include <cstdint>
#if !defined(_WIN32)
#include <condition_variable>
#include <mutex>
#endif

namespace Korvane {
namespace Threading {

class EventHandler {
  public:
#if defined(_WIN32)
    EventHandler();
    virtual ~EventHandler();
#else
    EventHandler() = default;
    virtual ~EventHandler() = default;
#endif
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;

    void Set();
    void Reset();
    // Waits without a time-out until the event is set, then resets it.
    void Wait();
    // Waits at most `ms` milliseconds; true when the event was set (and is now reset).
    bool WaitFor(uint32_t ms);

  private:
#if defined(_WIN32)
    void* event_;  // the event object's handle
#else
    std::mutex mutex_;
    std::condition_variable cond_;
    bool signalled_ = false;
#endif
};

}  // namespace Threading
}  // namespace Korvane
