// Live objects by serial number, in the order they were added; the last one added is the
// current one. The serial, not a pointer, is what travels through deferred calls, so a call
// that runs after its object is gone finds nothing. Thread-safe.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

template <class T>
class LiveList {
  public:
    // Registers the object, which becomes current; its serial number (never 0).
    uint64_t Add(T* object) {
        std::lock_guard<std::mutex> lock(mutex_);
        const uint64_t serial = nextSerial_++;
        live_.push_back(Entry{serial, object});
        return serial;
    }
    // Forgets the object; if it was current, the last one added before it becomes current.
    // Waits for a holder of the lock (see Lock) to finish.
    void Remove(T* object) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = live_.begin(); it != live_.end(); ++it) {
            if (it->object == object) {
                live_.erase(it);
                return;
            }
        }
    }
    T* Current() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return CurrentLocked();
    }
    T* Find(uint64_t serial) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return FindLocked(serial);
    }

    // For callers that must keep an object from being removed while they use it: hold the
    // lock and use the *Locked lookups.
    std::unique_lock<std::mutex> Lock() const { return std::unique_lock<std::mutex>(mutex_); }
    T* CurrentLocked() const { return live_.empty() ? nullptr : live_.back().object; }
    T* FindLocked(uint64_t serial) const {
        for (const Entry& e : live_)
            if (e.serial == serial) return e.object;
        return nullptr;
    }

  private:
    struct Entry {
        uint64_t serial;
        T* object;
    };
    mutable std::mutex mutex_;
    std::vector<Entry> live_;
    uint64_t nextSerial_ = 1;
};
