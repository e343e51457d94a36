// A waitable event with automatic reset: Set releases one Wait, which resets it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace Korvane {
namespace Threading {

class EventHandler {
  public:
    EventHandler() = default;
    virtual ~EventHandler() = default;
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;

    void Set();
    void Reset();
    // Waits without a time-out until the event is set, then resets it.
    void Wait();
    // Waits at most `ms` milliseconds; true when the event was set (and is now reset).
    bool WaitFor(uint32_t ms);

  private:
    std::mutex mutex_;
    std::condition_variable cond_;
    bool signalled_ = false;
};

}  // namespace Threading
}  // namespace Korvane
