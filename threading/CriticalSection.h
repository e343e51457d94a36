// A re-entrant lock, like a Windows critical section.
#pragma once

#include <mutex>

namespace Korvane {
namespace Threading {

class CriticalSection {
  public:
    CriticalSection() = default;
    virtual ~CriticalSection() = default;
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    void Enter() { mutex_.lock(); }
    void Leave() { mutex_.unlock(); }

    // Standard lockable interface, so std::lock_guard works too.
    void lock() { Enter(); }
    void unlock() { Leave(); }

  private:
    std::recursive_mutex mutex_;
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
