// The re-entrant lock and the auto-reset event over kernel32.
#include <windows.h>

#include <new>

#include "platform/kernel/Sync.h"

namespace platform {

struct ReentrantLock::State {
    CRITICAL_SECTION section;
};

ReentrantLock::ReentrantLock() : state_(new State) {
    InitializeCriticalSection(&state_->section);
}

ReentrantLock::~ReentrantLock() {
    DeleteCriticalSection(&state_->section);
}

void ReentrantLock::Lock() {
    EnterCriticalSection(&state_->section);
}

void ReentrantLock::Unlock() {
    LeaveCriticalSection(&state_->section);
}

struct AutoResetEvent::State {
    HANDLE event;
};

AutoResetEvent::AutoResetEvent() : state_(new State{CreateEventW(nullptr, FALSE, FALSE, nullptr)}) {
    // Without an event nothing could ever wait or be woken: fail like an allocation does.
    if (!state_->event) throw std::bad_alloc();
}

AutoResetEvent::~AutoResetEvent() {
    CloseHandle(state_->event);
}

void AutoResetEvent::Set() {
    SetEvent(state_->event);
}

void AutoResetEvent::Reset() {
    ResetEvent(state_->event);
}

void AutoResetEvent::Wait() {
    WaitForSingleObject(state_->event, INFINITE);
}

bool AutoResetEvent::WaitFor(uint32_t ms) {
    // INFINITE is 0xFFFFFFFF: a caller's largest wait stays finite.
    return WaitForSingleObject(state_->event, ms == INFINITE ? INFINITE - 1 : ms) == WAIT_OBJECT_0;
}

}  // namespace platform
