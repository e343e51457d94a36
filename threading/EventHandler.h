// A waitable event with automatic reset: Set releases one Wait, which resets it (the platform's
// event, platform/kernel/Sync.h).
#pragma once

#include <cstdint>

#include "platform/kernel/Sync.h"

namespace Korvane {
namespace Threading {

class EventHandler {
  public:
    EventHandler() = default;
    virtual ~EventHandler() = default;
    EventHandler(const EventHandler&) = delete;
    EventHandler& operator=(const EventHandler&) = delete;

    void Set() { event_.Set(); }
    void Reset() { event_.Reset(); }
    // Waits without a time-out until the event is set, then resets it.
    void Wait() { event_.Wait(); }
    // Waits at most `ms` milliseconds; true when the event was set (and is now reset).
    bool WaitFor(uint32_t ms) { return event_.WaitFor(ms); }

  private:
    platform::AutoResetEvent event_;
};

}  // namespace Threading
}  // namespace Korvane
