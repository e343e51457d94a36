// The page's thread as the core sees it: the binding runs posted calls there, in the order
// they were posted, from any thread. The plug-in asks the browser for the call; the native
// host runs it from its main loop. A call posted for an instance that is gone must still run
// (or be dropped) without touching it: callers pass a serial number, never a pointer.
#pragma once

namespace script {

class PageThread {
  public:
    virtual ~PageThread() = default;
    virtual void PostCall(void (*call)(void* data), void* data) = 0;
};

}  // namespace script
