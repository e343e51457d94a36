// What one request shares with WinINet's status callback. The callback runs on WinINet's own
// threads and may still run after the session gave a request up (a cancelled call completes
// later), so this block is reference-counted: the session holds one reference and every
// handle opened with the block as context holds one until WinINet's last callback for that
// handle (INTERNET_STATUS_HANDLE_CLOSING). The buffers a pending call may still read or fill
// live here for the same reason.
//
// The callback never calls the session's hooks: it records completions and sent byte counts,
// and the session hands the counts out on its calling thread while it waits.
#pragma once

#include <windows.h>
// windows.h first: wininet.h builds on its types.
#include <wininet.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/kernel/Sync.h"

namespace platform {

class WinINetChannel {
  public:
    // A new block holding one reference for its creator.
    static WinINetChannel* Create() { return new WinINetChannel; }
    void AddRef() { refs_.fetch_add(1); }
    void Release();

    // The context to give every call that may complete later.
    DWORD_PTR Context() { return reinterpret_cast<DWORD_PTR>(this); }
    static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                  DWORD length);

    // A handle just opened with this block as context: it holds a reference until it closes.
    void Adopt(HINTERNET handle);
    // Waits up to `ms` for the last callback of every adopted handle; true when all came.
    bool WaitForClosings(DWORD ms);

    struct Completion {
        bool ok = false;
        DWORD error = 0;
    };
    // Forgets a completion reported for an earlier call (before and after a call that
    // finished at once).
    void ForgetCompletion();
    // The completion of the pending call, once WinINet reported it.
    bool TakeCompletion(Completion* completion);
    // Byte counts of request-sent notifications not handed out yet, oldest first.
    std::vector<unsigned long> TakeSent();
    // Waits up to `ms` for the next notification of any kind.
    void WaitForActivity(DWORD ms) { activity_.WaitFor(ms); }
    // True once the connection to the server (or proxy) was made.
    bool ConnectedToServer() const { return connected_.load(); }

    // Buffers of calls that may complete after the session stopped waiting for them.
    std::string requestHeaders;
    INTERNET_BUFFERSA sendBuffers{};
    std::vector<char> chunk;
    DWORD written = 0;
    std::vector<char> inbox;
    DWORD available = 0;
    DWORD read = 0;

  private:
    WinINetChannel() = default;
    ~WinINetChannel() = default;
    WinINetChannel(const WinINetChannel&) = delete;
    WinINetChannel& operator=(const WinINetChannel&) = delete;

    void OnHandleClosing(HINTERNET handle);

    std::atomic<long> refs_{1};
    std::atomic<bool> connected_{false};
    std::mutex mutex_;
    std::set<HINTERNET> open_;
    bool completed_ = false;
    Completion completion_;
    std::vector<unsigned long> sent_;
    AutoResetEvent activity_;
    AutoResetEvent closed_;
};

}  // namespace platform
