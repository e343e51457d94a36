// One GET request whose body is handed out piece by piece. The response must carry status
// 200 or 206, Content-Length (above 0 and within the maximum) and Content-Type; the file name
// comes from Content-Disposition or, without it, from the address.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "Network/CancelFlag.h"
#include "Network/TransferFailure.h"
#include "Network/TransferGuard.h"
#include "threading/sigslot.h"

namespace platform {
class HttpSession;
}

class HttpDowner : public sigslot::has_slots<> {
  public:
    // One piece of the body, in order; emitted on the calling thread.
    sigslot::signal2<char*, unsigned long> Data;
    // The Content-Length, before the first piece.
    sigslot::signal1<int64_t> Length;
    // The file name worked out for the response.
    sigslot::signal1<std::wstring> FileName;

    static const char kAgent[];

    HttpDowner();
    ~HttpDowner() override;

    void SetVerb(const std::string& verb) { verb_ = verb; }
    void SetHeaders(const std::string& headers) { headers_ = headers; }
    void SetCancelFlag(const CancelFlag& flag) { cancel_ = flag; }
    // Larger bodies are refused before anything is read.
    void SetMaxLength(int64_t bytes) { maxLength_ = bytes; }
    // Asked with the absolute address before each redirect is followed; false fails the
    // download (kRedirectRefused) before a request goes there. Unset: redirects are followed.
    void SetRedirectCheck(std::function<bool(const std::string& url)> check) {
        redirectCheck_ = std::move(check);
    }

    // Nonzero when every step succeeded, the whole body arrived and no stop was requested.
    int Download(const std::string& url, const std::string& pathOverride);

    uint32_t GetStatus() const { return status_; }
    int64_t GetContentLength() const { return contentLength_; }
    const std::string& GetContentType() const { return contentType_; }
    const std::wstring& GetDefaultFileName() const { return defaultFileName_; }
    // Why the last Download failed (kNone after a success or a stop).
    const TransferFailure& GetFailure() const { return failure_; }

  private:
    bool Cancelled() const { return IsCancelled(cancel_); }
    int Connect();
    int SendRequest();
    int QueryStatus();
    int QueryLength();
    int QueryRange();
    int QueryType();
    int QueryDisposition();
    int ReadBody();
    void NoteFailure(const TransferFailure& failure);
    TransferFailure SessionFailure() const;

    CancelFlag cancel_;
    uint32_t status_ = 0;
    std::string headers_;
    std::string verb_ = "GET";
    std::string contentType_;
    std::wstring defaultFileName_;
    int64_t contentLength_ = 0;
    int64_t maxLength_ = INT64_MAX;
    std::function<bool(const std::string& url)> redirectCheck_;
    std::string rawHeaders_;
    std::unique_ptr<TransferGuard> guard_;
    TransferFailure failure_;
    std::unique_ptr<platform::HttpSession> session_;
};
