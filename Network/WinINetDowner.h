// Downloads one address into memory on a worker thread of its own and reports through two
// signals, both emitted on the worker:
//   Complete()  the whole body arrived with status 200; GetData() then returns it;
//   Error(12)   any failure: no connection, a status other than 200, no Content-Length or
//               Content-Type, a body larger than the maximum or shorter than announced.
// A stopped download reports nothing. One download runs at a time: Download refuses another
// while a worker is busy. Destroying the downloader stops its download and waits for the
// worker to return (never destroy it from one of its own slots).
#pragma once

#include <boost/shared_array.hpp>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Network/CancelFlag.h"
#include "Network/TransferFailure.h"
#include "Network/WorkerGate.h"
#include "threading/sigslot.h"

class WinINetDowner : public sigslot::has_slots<> {
  public:
    sigslot::signal0<> Complete;
    sigslot::signal1<unsigned int> Error;

    // The largest file an upload accepts.
    static constexpr int64_t kDefaultMaxLength = 10485760;

    WinINetDowner();
    ~WinINetDowner() override;

    // Cookie text for the next downloads; empty (the default) sends none.
    void SetCookie(const std::string& cookie);
    // Larger downloads fail with 12 before their body is read.
    void SetMaxLength(int64_t bytes);
    // Asked on the worker before each redirect is followed (HttpDowner::SetRedirectCheck);
    // a refused one fails the download with 12. Taken when a download starts.
    typedef std::function<bool(const std::string& url)> RedirectCheck;
    void SetRedirectCheck(RedirectCheck check);

    // Starts downloading `url` (UTF-8). False, and nothing started, while a download runs.
    // Throws boost::thread_resource_error when no thread can be started.
    bool Download(const std::string& url);
    void Stop();
    bool IsBusy() const;
    bool WaitUntilIdle(uint32_t ms) const;

    // After Complete: a copy of the body in a buffer of length + 1 bytes (the last one zero).
    boost::shared_array<char> GetData(uint32_t& length);
    // The file name of the last download: from Content-Disposition, else the address.
    std::wstring GetFileName() const;
    // Why the last download failed (set before Error is emitted); kNone after a success.
    TransferFailure GetLastFailure() const;

  private:
    struct Job;
    void Fetch(Job& job);
    void OnData(char* bytes, unsigned long count);
    void OnLength(int64_t length);
    void OnFileName(std::wstring name);

    mutable std::mutex mutex_;
    WorkerGate gate_{mutex_};
    std::string cookie_;
    int64_t maxLength_ = kDefaultMaxLength;
    RedirectCheck redirectCheck_;
    CancelFlag cancel_;
    int64_t length_ = 0;
    std::vector<char> stream_;
    std::wstring fileName_;
    TransferFailure failure_;
    boost::shared_array<char> data_;
};
