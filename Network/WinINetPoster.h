// Uploads one file held in memory to the configured address as a multipart POST, on a worker
// thread of its own, and reports through three signals:
//   Error(code)     on the worker: 1 the request headers could not be sent (2 follows),
//                   2 the upload failed or the status was not 200;
//   Progress(bytes) on the worker, once per transport notification of bytes sent;
//   Complete()      on the worker, after status 200; GetResponse() then holds the answer.
// A stopped upload reports nothing. One upload runs at a time: Post refuses another while a
// worker is busy. The address, cookie and fields are copied when Post starts, so changing
// them later does not touch a running upload. Destroying the poster stops its upload and
// waits for the worker to return (never destroy it from one of its own slots).
#pragma once

#include <atomic>
#include <boost/shared_array.hpp>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "Network/CancelFlag.h"
#include "Network/SpeedCalculater.h"
#include "Network/TransferFailure.h"
#include "Network/WorkerGate.h"
#include "config/FormFields.h"
#include "threading/sigslot.h"

class WinINetPoster : public sigslot::has_slots<> {
  public:
    sigslot::signal1<unsigned int> Error;
    sigslot::signal1<unsigned long> Progress;
    sigslot::signal0<> Complete;

    static const char kAgent[];

    WinINetPoster();
    ~WinINetPoster() override;

    // The address (configuration "PostUrl"), the cookie ("Cookie"; empty: no cookie line)
    // and the extra form fields of the next upload.
    void SetPostUrl(const std::string& url);
    void SetCookie(const std::string& cookie);
    void SetFields(const FormFields& fields);

    // Starts uploading `length` bytes of `data` (shared, not copied) named after their CRC-32
    // with `extension` (with its dot). False, and nothing started, while an upload runs.
    // Throws boost::thread_resource_error when no thread can be started.
    bool Post(const boost::shared_array<char>& data, int32_t length, const std::wstring& extension);
    // The same for a local file, read from disk on the worker (see UploadFileSource): a file
    // that cannot be opened goes out as 0 bytes; one of 2^31 bytes or more is refused with
    // Error(2) before anything is read or sent.
    bool PostFile(const std::wstring& path, const std::wstring& extension);
    // Asks the running upload to stop; it then ends without a signal.
    void Stop();
    bool IsBusy() const;
    // Waits up to `ms` milliseconds until no worker runs; true when none does.
    bool WaitUntilIdle(uint32_t ms) const;

    // The answer of the last upload that completed (status 200).
    std::string GetResponse() const;
    // The file name of the current or last upload (set once its worker has named it).
    std::wstring GetFileName() const;
    // Why the last upload failed (set before Error(2) is emitted); kNone after a success.
    TransferFailure GetLastFailure() const;

    // Progress figures of the current upload, safe from any thread.
    int32_t GetPosted() const { return posted_.load(); }
    int32_t GetSpeed() const { return speed_.load(); }
    std::string GetPercent() const;
    std::string GetTimeLeft() const;

  private:
    struct Job;
    bool Start(const std::shared_ptr<Job>& job);
    void Upload(Job& job);
    void Fail(const TransferFailure& failure, const CancelFlag& cancel);
    void OnClientError(unsigned int code);
    void OnClientSent(unsigned long bytes);

    mutable std::mutex mutex_;
    WorkerGate gate_{mutex_};
    std::string postUrl_;
    std::string cookie_;
    FormFields fields_;
    CancelFlag cancel_;
    std::string response_;
    std::wstring fileName_;
    TransferFailure failure_;

    // Written by the worker only.
    SpeedCalculater speedCalculater_;
    std::atomic<int32_t> posted_{0};
    std::atomic<int32_t> length_{0};
    std::atomic<int32_t> speed_{0};
};
