#include "platform/http/win32/WinINetChannel.h"

namespace platform {

void WinINetChannel::Release() {
    if (refs_.fetch_sub(1) == 1) delete this;
}

void CALLBACK WinINetChannel::OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                       DWORD length) {
    WinINetChannel* self = reinterpret_cast<WinINetChannel*>(context);
    if (!self) return;
    switch (status) {
        case INTERNET_STATUS_CONNECTED_TO_SERVER:
            self->connected_.store(true);
            break;
        case INTERNET_STATUS_REQUEST_SENT:
            // Sending implies a connection, also when its own notification was not given.
            self->connected_.store(true);
            if (info && length >= sizeof(DWORD)) {
                const DWORD bytes = *static_cast<const DWORD*>(info);
                if (bytes > 0) {
                    std::lock_guard<std::mutex> lock(self->mutex_);
                    self->sent_.push_back(bytes);
                }
                self->activity_.Set();
            }
            break;
        case INTERNET_STATUS_REQUEST_COMPLETE:
            if (info && length >= sizeof(INTERNET_ASYNC_RESULT)) {
                const INTERNET_ASYNC_RESULT* result =
                    static_cast<const INTERNET_ASYNC_RESULT*>(info);
                std::lock_guard<std::mutex> lock(self->mutex_);
                self->completed_ = true;
                self->completion_.ok = result->dwResult != 0;
                // On success some calls put a count here, not an error.
                self->completion_.error = result->dwResult != 0 ? 0 : result->dwError;
            }
            self->activity_.Set();
            break;
        case INTERNET_STATUS_HANDLE_CLOSING:
            if (info && length >= sizeof(HINTERNET))
                self->OnHandleClosing(*static_cast<const HINTERNET*>(info));
            break;
        default:
            break;
    }
}

void WinINetChannel::OnHandleClosing(HINTERNET handle) {
    bool adopted = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        adopted = open_.erase(handle) > 0;
    }
    if (!adopted) return;
    closed_.Set();
    // The handle's reference goes last: nothing of this block is touched after it.
    Release();
}

void WinINetChannel::Adopt(HINTERNET handle) {
    AddRef();
    std::lock_guard<std::mutex> lock(mutex_);
    open_.insert(handle);
}

bool WinINetChannel::WaitForClosings(DWORD ms) {
    const DWORD started = GetTickCount();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (open_.empty()) return true;
        }
        const DWORD waited = GetTickCount() - started;
        if (waited >= ms) return false;
        closed_.WaitFor(ms - waited);
    }
}

void WinINetChannel::ForgetCompletion() {
    std::lock_guard<std::mutex> lock(mutex_);
    completed_ = false;
    completion_ = Completion();
}

bool WinINetChannel::TakeCompletion(Completion* completion) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!completed_) return false;
    *completion = completion_;
    completed_ = false;
    return true;
}

std::vector<unsigned long> WinINetChannel::TakeSent() {
    std::vector<unsigned long> taken;
    std::lock_guard<std::mutex> lock(mutex_);
    taken.swap(sent_);
    return taken;
}

}  // namespace platform
