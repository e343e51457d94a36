// The native host's page thread: its main loop. Calls posted from any thread are queued and
// the loop is woken through a pipe (an event on Windows); the loop runs them in posting order,
// between messages from the browser, as the browser runs a plug-in's asynchronous calls.
#pragma once

#include <deque>
#include <mutex>
#include <utility>

#include "script/PageThread.h"

namespace host {

class HostLoop : public script::PageThread {
  public:
    HostLoop();
    ~HostLoop() override;
    HostLoop(const HostLoop&) = delete;
    HostLoop& operator=(const HostLoop&) = delete;

    // Any thread.
    void PostCall(void (*call)(void* data), void* data) override;
#ifdef _WIN32
    // The event the loop waits on: set while calls are queued (manual reset).
    void* wakeEvent() const {
        return wakeEvent_;
    }
    bool ok() const {
        return wakeEvent_ != nullptr;
    }
#else
    // The descriptor the loop polls: readable while calls are queued.
    int wakeFd() const {
        return wakeRead_;
    }
    bool ok() const {
        return wakeRead_ >= 0;
    }
#endif
    // Runs the calls queued so far, in order. Loop thread.
    void RunPosted();

  private:
    std::mutex mutex_;
    std::deque<std::pair<void (*)(void*), void*>> calls_;
#ifdef _WIN32
    void* wakeEvent_ = nullptr;
#else
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
#endif
};

}  // namespace host
