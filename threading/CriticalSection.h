// A re-entrant lock: a Windows critical section on Windows (platform/kernel/win32), a recursive
// mutex elsewhere.
#pragma once

#if !defined(_WIN32)
#include <mutex>
#endif

namespace Korvane {
namespace Threading {

class CriticalSection {
  public:
#if defined(_WIN32)
    CriticalSection();
    virtual ~CriticalSection();
    void Enter();
    void Leave();
#else
    CriticalSection() = default;
    virtual ~CriticalSection() = default;
    void Enter() {
        mutex_.lock();
    }
    void Leave() {
        mutex_.unlock();
    }
#endif
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Standard lockable interface, so std::lock_guard works too.
    void lock() {
        Enter();
    }
    void unlock() {
        Leave();
    }

  private:
#if defined(_WIN32)
    void* section_;  // the CRITICAL_SECTION this object owns
#else
    std::recursive_mutex mutex_;
#endif
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
