// One multipart POST request: connect, send the headers, send the body in 131072-byte
// chunks from the caller's buffers, then read the response headers, body and status. Every
// step is logged; the shared cancel flag is read before every step and chunk.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Network/CancelFlag.h"
#include "Network/TransferFailure.h"
#include "Network/TransferGuard.h"
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

    // Consecutive bytes of the body: held by the caller at `data`, or, when `read` is set,
    // produced by it in order (it fills the buffer with the next bytes, false to stop the
    // request, as when a file being sent changed).
    struct BodyPiece {
        const char* data;
        int32_t length;
        std::function<bool(char* buffer, size_t count)> read = nullptr;
    };

    void SetHeaders(const std::string& headers) { headers_ = headers; }
    // Not copied: the bytes stay valid until Post returns.
    void SetBody(const char* data, int32_t length);
    // The body as pieces sent one after another as if they were one buffer (same chunks, same
    // Content-Length), so that a large file goes out from where it lies between the bytes
    // around it. None is copied; all stay valid until Post returns.
    void SetBodyPieces(const std::vector<BodyPiece>& pieces);
    void SetCancelFlag(const CancelFlag& flag) { cancel_ = flag; }
    void SetVerb(const std::string& verb) { verb_ = verb; }

    // Sends the request; nonzero only when every step succeeded and no stop was requested.
    // A status other than 200 is still a success here.
    int Post(const std::string& url, const std::string& pathOverride, const std::string& agent);

    uint32_t GetStatus() const { return status_; }
    const std::string& GetResponse() const { return response_; }
    // The stored value (case-sensitive name), or "".
    std::string GetResponseHeader(const std::string& name) const;
    // Why the last Post failed (kNone after a success or a stop).
    const TransferFailure& GetFailure() const { return failure_; }

  private:
    bool Cancelled() const { return IsCancelled(cancel_); }
    int Connect();
    int SendHeaders();
    int SendBody();
    int QueryHeaders();
    int ReadResponse();
    int QueryStatus();
    // The next chunk of the body from `offset_`: in place when it lies in one piece, else
    // gathered into the scratch buffer; null when a reading piece stopped the request.
    const char* NextChunk(size_t length);
    void NoteFailure(const TransferFailure& failure);
    TransferFailure SessionFailure() const;

    CancelFlag cancel_;
    uint32_t status_ = 0;
    std::string headers_;
    std::string response_;
    std::string verb_ = "POST";
    std::vector<BodyPiece> body_;
    int64_t bodyLength_ = 0;
    // Where the next chunk starts: the piece, the byte in it, and the offset in the body.
    size_t piece_ = 0;
    int64_t pieceOffset_ = 0;
    int64_t offset_ = 0;
    std::vector<char> scratch_;
    std::map<std::string, std::string> responseHeaders_;
    TransferLimits limits_;
    std::unique_ptr<TransferGuard> guard_;
    TransferFailure failure_;
    std::unique_ptr<platform::HttpSession> session_;
};
