// One multipart POST request: connect, send the headers, send the body in 131072-byte
// chunks from the caller's buffer, then read the response headers, body and status. Every
// step is logged; the shared cancel flag is read before every step and chunk.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "Network/CancelFlag.h"
#include "threading/sigslot.h"

namespace platform {
class HttpSession;
}

class HttpClient : public sigslot::has_slots<> {
  public:
    // 1: the request headers could not be sent.
    sigslot::signal1<unsigned int> Error;
    // Bytes of the request (headers included) as they went out; emitted on the calling thread.
    sigslot::signal1<unsigned long> Sent;

    static constexpr int32_t kChunkSize = 131072;

    HttpClient();
    ~HttpClient() override;

    void SetHeaders(const std::string& headers) { headers_ = headers; }
    // Not copied: the bytes stay valid until Post returns.
    void SetBody(const char* data, int32_t length);
    void SetCancelFlag(const CancelFlag& flag) { cancel_ = flag; }
    void SetVerb(const std::string& verb) { verb_ = verb; }

    // Sends the request; nonzero only when every step succeeded and no stop was requested.
    // A status other than 200 is still a success here.
    int Post(const std::string& url, const std::string& pathOverride, const std::string& agent);

    uint32_t GetStatus() const { return status_; }
    const std::string& GetResponse() const { return response_; }
    // The stored value (case-sensitive name), or "".
    std::string GetResponseHeader(const std::string& name) const;

  private:
    bool Cancelled() const { return IsCancelled(cancel_); }
    int Connect();
    int SendHeaders();
    int SendBody();
    int QueryHeaders();
    int ReadResponse();
    int QueryStatus();

    CancelFlag cancel_;
    uint32_t status_ = 0;
    std::string headers_;
    std::string response_;
    std::string verb_ = "POST";
    const char* body_ = nullptr;
    int32_t bodyLength_ = 0;
    std::map<std::string, std::string> responseHeaders_;
    std::unique_ptr<platform::HttpSession> session_;
};
