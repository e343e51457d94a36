// The re-entrant lock and the auto-reset event of threading/ over kernel32.
#include <windows.h>

#include <new>

#include "threading/CriticalSection.h"
#include "threading/EventHandler.h"

namespace Korvane {
namespace Threading {

CriticalSection::CriticalSection() : section_(new CRITICAL_SECTION) {
    InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(section_));
}

CriticalSection::~CriticalSection() {
    DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(section_));
    delete static_cast<CRITICAL_SECTION*>(section_);
}

void CriticalSection::Enter() {
    EnterCriticalSection(static_cast<CRITICAL_SECTION*>(section_));
}

void CriticalSection::Leave() {
    LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(section_));
}

EventHandler::EventHandler() : event_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    // Without an event nothing could ever wait or be woken: fail like an allocation does.
    if (!event_) throw std::bad_alloc();
}

EventHandler::~EventHandler() {
    CloseHandle(event_);
}

void EventHandler::Set() {
    SetEvent(event_);
}

void EventHandler::Reset() {
    ResetEvent(event_);
}

void EventHandler::Wait() {
    WaitForSingleObject(event_, INFINITE);
}

bool EventHandler::WaitFor(uint32_t ms) {
    // INFINITE is 0xFFFFFFFF: a caller's largest wait stays finite.
    return WaitForSingleObject(event_, ms == INFINITE ? INFINITE - 1 : ms) == WAIT_OBJECT_0;
}

}  // namespace Threading
}  // namespace Korvane
