// A re-entrant lock (the platform's, platform/kernel/Sync.h).
#pragma once

#include "platform/kernel/Sync.h"

namespace Korvane {
namespace Threading {

class CriticalSection {
  public:
    CriticalSection() = default;
    virtual ~CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { lock_.Lock(); }
    void Leave() { lock_.Unlock(); }

    // Standard lockable interface, so std::lock_guard works too.
    void lock() { Enter(); }
    void unlock() { Leave(); }

  private:
    platform::ReentrantLock lock_;
};

// Enters on construction, leaves on destruction.
class ScopedLock {
  public:
    explicit ScopedLock(CriticalSection& cs) : cs_(cs) { cs_.Enter(); }
    ~ScopedLock() { cs_.Leave(); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

  private:
    CriticalSection& cs_;
};

}  // namespace Threading
}  // namespace Korvane
