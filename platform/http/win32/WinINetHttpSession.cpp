// The HTTP transport on WinINet in asynchronous mode. Every call that may complete later gets
// the request's channel as context; when a call answers ERROR_IO_PENDING the calling thread
// waits for the status callback's completion in short slices, handing out the sent byte
// counts the callback recorded and reading the cancel hook between slices. A cancel closes
// the request handle, which ends the pending call at once.
//
// WinINet makes the connection only when the request goes out, so Connect opens the handles
// and sends the request line and headers too (for a GET the whole request, answered by the
// response headers). A failure before the connection was made fails Connect; one after it
// is reported by the next step, as the step order of the callers expects.
#include <windows.h>
// windows.h first: wininet.h builds on its types.
#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "platform/http/HttpSession.h"
#include "platform/http/win32/WinINetChannel.h"

namespace platform {
namespace {

const DWORD kPollMs = 50;         // how often a waiting step reads the cancel hook
const DWORD kCloseWaitMs = 1000;  // teardown waits this long for WinINet's last callbacks
const size_t kReadBytes = 65536;  // response bytes taken per read
const DWORD kSecurityIgnore = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION |
                              SECURITY_FLAG_IGNORE_WRONG_USAGE |
                              SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                              SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

// True when the numeric text is a whole decimal number that fits.
bool ParseLength(const std::string& text, int64_t* value) {
    if (text.empty() || text.size() > 18) return false;
    int64_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + (c - '0');
    }
    *value = n;
    return true;
}

class WinINetHttpSession : public HttpSession {
  public:
    WinINetHttpSession(const HttpRequestSetup& setup, const HttpSessionHooks& hooks)
        : setup_(setup), hooks_(hooks), channel_(WinINetChannel::Create()) {}

    ~WinINetHttpSession() override {
        if (request_) InternetCloseHandle(request_);
        if (connection_) InternetCloseHandle(connection_);
        // A call still pending ends with the handle; its callbacks go to the channel, which
        // outlives this object until the last of them, but the wait keeps teardown orderly.
        channel_->WaitForClosings(kCloseWaitMs);
        if (root_) {
            InternetSetStatusCallback(root_, nullptr);
            InternetCloseHandle(root_);
        }
        channel_->Release();
    }

    bool Open() {
        root_ = InternetOpenA(setup_.agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                              INTERNET_FLAG_ASYNC);
        if (!root_) return false;
        return InternetSetStatusCallback(root_, &WinINetChannel::OnStatus) !=
               INTERNET_INVALID_STATUS_CALLBACK;
    }

    bool Connect() override {
        if (setup_.scheme != "http" && setup_.scheme != "https")
            return Fail(ERROR_INTERNET_UNRECOGNIZED_SCHEME);
        if (setup_.host.empty()) return Fail(ERROR_INTERNET_INVALID_URL);
        if (setup_.bodyLength < 0 || setup_.bodyLength > 0xFFFFFFFFLL)
            return Fail(ERROR_INVALID_PARAMETER);
        if (Cancelled()) return Fail(ERROR_INTERNET_OPERATION_CANCELLED);

        connection_ = InternetConnectA(root_, setup_.host.c_str(), setup_.port, nullptr, nullptr,
                                       INTERNET_SERVICE_HTTP, 0, channel_->Context());
        if (!connection_) return Fail(GetLastError());
        channel_->Adopt(connection_);
        if (!OpenRequest()) return false;

        sendOk_ = StartRequest();
        sendError_ = lastError_;
        Deliver();
        if (sendOk_) return true;
        if (Cancelled() || !request_) return false;
        return channel_->ConnectedToServer();
    }

    bool SendHeaders() override { return Step(sendOk_, sendError_); }

    bool WriteBody(const ChunkSource& next) override {
        if (!Step(sendOk_, sendError_)) return false;
        int64_t sent = 0;
        for (;;) {
            if (Cancelled()) return Abort();
            const char* data = nullptr;
            size_t length = 0;
            if (!next(&data, &length)) return Abort();
            if (length == 0) break;
            if (!data || static_cast<int64_t>(length) > setup_.bodyLength - sent)
                return Fail(ERROR_INVALID_DATA);
            if (!WriteChunk(data, length)) return false;
            sent += static_cast<int64_t>(length);
        }
        // The server waits for as many bytes as the Content-Length promised.
        if (sent != setup_.bodyLength) return Fail(ERROR_INVALID_DATA);
        return true;
    }

    bool EndRequest() override {
        if (!Step(sendOk_, sendError_)) return false;
        if (!IsGet()) {
            channel_->ForgetCompletion();
            const bool ok = HttpEndRequestA(request_, nullptr, 0, channel_->Context()) != FALSE;
            if (!Settle(ok)) return false;
        }
        return TakeResponseHeaders();
    }

    std::string RawHeaders() override { return headersDone_ ? rawHeaders_ : std::string(); }

    bool Available(size_t* count) override {
        *count = 0;
        if (!headersDone_ || !request_) return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
        if (InboxSize() == 0 && !bodyEnded_ && !Refill()) return false;
        *count = InboxSize();
        return true;
    }

    bool Read(char* buffer, size_t capacity, size_t* count) override {
        *count = 0;
        size_t ready = 0;
        if (!Available(&ready)) return false;
        *count = std::min(capacity, ready);
        std::memcpy(buffer, channel_->inbox.data() + inboxStart_, *count);
        inboxStart_ += *count;
        return true;
    }

    uint32_t Status() override { return headersDone_ ? status_ : 0; }

    long LastError() override { return static_cast<long>(lastError_); }

    TransportFailure LastFailure() override {
        switch (lastError_) {
            case 0:
                return TransportFailure::kNone;
            case ERROR_INTERNET_CANNOT_CONNECT:
            case ERROR_INTERNET_NAME_NOT_RESOLVED:
                return TransportFailure::kCannotConnect;
            case ERROR_INTERNET_TIMEOUT:
                return TransportFailure::kTimedOut;
            case ERROR_HTTP_REDIRECT_FAILED:
                return TransportFailure::kTooManyRedirects;
            default:
                return TransportFailure::kOther;
        }
    }

  private:
    bool Cancelled() const { return hooks_.cancelled && hooks_.cancelled(); }
    bool IsGet() const { return setup_.verb == "GET"; }
    size_t InboxSize() const { return inboxEnd_ - inboxStart_; }

    bool Fail(DWORD error) {
        lastError_ = error;
        Deliver();
        return false;
    }

    // A later step of a request whose send ended as given; a request given up fails them all.
    bool Step(bool ok, DWORD error) {
        if (!request_) {
            if (lastError_ == 0) lastError_ = ERROR_INTERNET_INCORRECT_HANDLE_STATE;
            return false;
        }
        if (!ok) return Fail(error);
        return true;
    }

    // Ends the request at once: closing the handle ends whatever call is pending on it.
    bool Abort() {
        if (request_) {
            InternetCloseHandle(request_);
            request_ = nullptr;
        }
        return Fail(ERROR_INTERNET_OPERATION_CANCELLED);
    }

    // Hands the sent byte counts the callback recorded to the hook, on this thread.
    void Deliver() {
        for (unsigned long bytes : channel_->TakeSent()) {
            if (hooks_.sent) hooks_.sent(bytes);
        }
    }

    // The outcome of a call given `ok`: at once, or after waiting for its completion.
    bool Settle(bool ok) {
        if (ok) {
            channel_->ForgetCompletion();
            Deliver();
            return true;
        }
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) return Fail(error);
        for (;;) {
            Deliver();
            WinINetChannel::Completion completion;
            if (channel_->TakeCompletion(&completion)) {
                if (!completion.ok) return Fail(completion.error);
                Deliver();
                return true;
            }
            if (Cancelled()) return Abort();
            channel_->WaitForActivity(kPollMs);
        }
    }

    bool OpenRequest() {
        DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD |
                      INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_COOKIES |
                      INTERNET_FLAG_NO_UI;
        const bool secure = setup_.scheme == "https";
        if (secure) {
            flags |= INTERNET_FLAG_SECURE | INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                     INTERNET_FLAG_IGNORE_CERT_CN_INVALID;
        }
        // WinINet follows before anyone can look where to: with a redirect hook the answer
        // itself comes back (a 3xx status, which a download refuses).
        if (setup_.followRedirects && !hooks_.redirect) {
            flags |= INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
        } else {
            flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
        }
        const std::string target =
            (setup_.target.empty() || setup_.target[0] != '/' ? "/" : "") + setup_.target;
        const std::string verb = setup_.verb.empty() ? std::string("GET") : setup_.verb;
        request_ = HttpOpenRequestA(connection_, verb.c_str(), target.c_str(), nullptr, nullptr,
                                    nullptr, flags, channel_->Context());
        if (!request_) return Fail(GetLastError());
        channel_->Adopt(request_);
        if (secure) {
            // Certificates are not verified: an unknown issuer is accepted as well.
            DWORD security = 0;
            DWORD size = sizeof(security);
            InternetQueryOptionA(request_, INTERNET_OPTION_SECURITY_FLAGS, &security, &size);
            security |= kSecurityIgnore;
            InternetSetOptionA(request_, INTERNET_OPTION_SECURITY_FLAGS, &security,
                               sizeof(security));
        }
        return true;
    }

    // Sends the request line and headers: a POST announces its Content-Length and leaves the
    // body to WriteBody; a GET is sent whole and completes with the response headers.
    bool StartRequest() {
        channel_->requestHeaders = setup_.headers;
        const std::string& headers = channel_->requestHeaders;
        channel_->ForgetCompletion();
        if (IsGet()) {
            const bool ok =
                HttpSendRequestA(request_, headers.empty() ? nullptr : headers.c_str(),
                                 static_cast<DWORD>(headers.size()), nullptr, 0) != FALSE;
            return Settle(ok);
        }
        INTERNET_BUFFERSA& buffers = channel_->sendBuffers;
        buffers = INTERNET_BUFFERSA();
        buffers.dwStructSize = sizeof(INTERNET_BUFFERSA);
        buffers.lpcszHeader = headers.empty() ? nullptr : headers.c_str();
        buffers.dwHeadersLength = static_cast<DWORD>(headers.size());
        buffers.dwHeadersTotal = static_cast<DWORD>(headers.size());
        buffers.dwBufferTotal = static_cast<DWORD>(setup_.bodyLength);
        const bool ok =
            HttpSendRequestExA(request_, &buffers, nullptr, 0, channel_->Context()) != FALSE;
        return Settle(ok);
    }

    // Writes one chunk. The bytes are copied first: a write given up on cancel may still be
    // read by the transport after this returned, when the caller's chunk is gone.
    bool WriteChunk(const char* data, size_t length) {
        channel_->chunk.assign(data, data + length);
        size_t offset = 0;
        while (offset < length) {
            channel_->written = 0;
            channel_->ForgetCompletion();
            const DWORD want = static_cast<DWORD>(length - offset);
            const bool ok = InternetWriteFile(request_, channel_->chunk.data() + offset, want,
                                              &channel_->written) != FALSE;
            if (!ok && GetLastError() == ERROR_IO_PENDING) {
                // A write that completes later has sent the whole piece.
                if (!Settle(false)) return false;
                offset += want;
                continue;
            }
            if (!Settle(ok)) return false;
            if (channel_->written == 0 || channel_->written > want)
                return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
            offset += channel_->written;
        }
        return true;
    }

    bool TakeResponseHeaders() {
        DWORD size = 0;
        HttpQueryInfoA(request_, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
        std::string raw(size + 1, '\0');
        if (size == 0 ||
            !HttpQueryInfoA(request_, HTTP_QUERY_RAW_HEADERS_CRLF, &raw[0], &size, nullptr)) {
            return Fail(GetLastError());
        }
        raw.resize(std::min<size_t>(size, std::strlen(raw.c_str())));
        // One blank line after the header lines, however the transport ended them.
        while (raw.size() >= 2 && raw.compare(raw.size() - 2, 2, "\r\n") == 0)
            raw.resize(raw.size() - 2);
        rawHeaders_ = raw + "\r\n\r\n";

        DWORD status = 0;
        DWORD statusSize = sizeof(status);
        if (!HttpQueryInfoA(request_, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                            &statusSize, nullptr)) {
            return Fail(GetLastError());
        }
        status_ = status;
        expectedLength_ = -1;
        const bool bodyless = status / 100 == 1 || status == 204 || status == 304;
        if (!bodyless && QueryText(HTTP_QUERY_TRANSFER_ENCODING).empty()) {
            int64_t length = 0;
            if (ParseLength(QueryText(HTTP_QUERY_CONTENT_LENGTH), &length))
                expectedLength_ = length;
        }
        headersDone_ = true;
        Deliver();
        return true;
    }

    std::string QueryText(DWORD what) {
        char text[256] = {};
        DWORD size = sizeof(text) - 1;
        if (!HttpQueryInfoA(request_, what, text, &size, nullptr)) return std::string();
        return std::string(text, std::min<DWORD>(size, sizeof(text) - 1));
    }

    // Waits for the next response bytes and takes them into the inbox; the body's end leaves
    // it empty. A body shorter than its Content-Length is a broken transfer, not an end.
    bool Refill() {
        inboxStart_ = inboxEnd_ = 0;
        DWORD ready = 0;
        for (;;) {
            channel_->available = 0;
            channel_->ForgetCompletion();
            const bool ok =
                InternetQueryDataAvailable(request_, &channel_->available, 0, 0) != FALSE;
            const bool pending = !ok && GetLastError() == ERROR_IO_PENDING;
            if (!Settle(ok)) return false;
            // A completion that came later says data is there; asking again gives the count.
            if (pending) continue;
            ready = channel_->available;
            break;
        }
        if (ready > 0) {
            channel_->inbox.resize(kReadBytes);
            channel_->read = 0;
            channel_->ForgetCompletion();
            const DWORD want = std::min<DWORD>(ready, static_cast<DWORD>(kReadBytes));
            const bool ok =
                InternetReadFile(request_, channel_->inbox.data(), want, &channel_->read) != FALSE;
            if (!Settle(ok)) return false;
            inboxEnd_ = std::min<DWORD>(channel_->read, want);
        }
        if (inboxEnd_ == 0) {
            bodyEnded_ = true;
            if (expectedLength_ >= 0 && received_ < expectedLength_)
                return Fail(ERROR_INTERNET_CONNECTION_ABORTED);
        }
        received_ += static_cast<int64_t>(inboxEnd_);
        return true;
    }

    HttpRequestSetup setup_;
    HttpSessionHooks hooks_;
    WinINetChannel* channel_;
    HINTERNET root_ = nullptr;
    HINTERNET connection_ = nullptr;
    HINTERNET request_ = nullptr;
    DWORD lastError_ = 0;
    bool sendOk_ = false;
    DWORD sendError_ = 0;
    // Response.
    bool headersDone_ = false;
    std::string rawHeaders_;
    uint32_t status_ = 0;
    int64_t expectedLength_ = -1;  // the Content-Length, -1 when the body ends otherwise
    int64_t received_ = 0;
    bool bodyEnded_ = false;
    size_t inboxStart_ = 0;
    size_t inboxEnd_ = 0;
};

}  // namespace

std::unique_ptr<HttpSession> OpenHttpSession(const HttpRequestSetup& setup,
                                             const HttpSessionHooks& hooks) {
    std::unique_ptr<WinINetHttpSession> session(new WinINetHttpSession(setup, hooks));
    if (!session->Open()) return nullptr;
    return std::unique_ptr<HttpSession>(session.release());
}

}  // namespace platform
