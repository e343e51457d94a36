#include "threading/MsgQueue.h"

void MsgQueue::Push(std::string text) {
    Entry entry(new std::string(std::move(text)));
    Korvane::Threading::ScopedLock lock(lock_);
    entries_.push_back(entry);
}

void MsgQueue::Process(const Handler& handler) {
    Korvane::Threading::ScopedLock lock(lock_);
    size_t count = entries_.size();
    while (count > 0 && !entries_.empty()) {
        // Take the entry out first so that a handler that clears or pushes cannot disturb it.
        Entry entry = entries_.front();
        entries_.pop_front();
        --count;
        handler(entry);
    }
}

void MsgQueue::Clear() {
    Korvane::Threading::ScopedLock lock(lock_);
    entries_.clear();
}

size_t MsgQueue::Size() {
    Korvane::Threading::ScopedLock lock(lock_);
    return entries_.size();
}
