// The HTTP transport on libcurl. One easy handle in a private multi handle, driven from the
// calling thread: each step runs the transfer until the step's condition holds. The read
// callback takes the body's chunks from the caller's source as the connection asks for them,
// so every chunk is copied straight from the caller's buffer into the connection's send
// buffer and the body goes out without a pause between chunks.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/http/HttpSession.h"
#include "platform/http/linux/CurlLibrary.h"

namespace platform {
namespace {

const long kChunkBytes = 131072;         // upload buffer: one body chunk per read
const size_t kInboxLimit = 1024 * 1024;  // body bytes held before the receiver pauses
const long kConnectTimeoutSeconds = 60;  // the transport's own default on this system
// A waiting step polls often while the transfer moves (an unpaused upload is not always woken
// by the poll) and backs off to the longest wait while it does not; cancel is read each time.
const int kShortestPollMs = 1;
const int kLongestPollMs = 50;

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const size_t n = std::strlen(prefix);
    return text.size() >= n && strncasecmp(text.data(), prefix, n) == 0;
}

class CurlHttpSession : public HttpSession {
  public:
    CurlHttpSession(const CurlLibrary& lib, const HttpRequestSetup& setup,
                    const HttpSessionHooks& hooks)
        : lib_(lib), setup_(setup), hooks_(hooks) {}

    ~CurlHttpSession() override {
        if (multi_ && easy_) lib_.multi_remove_handle(multi_, easy_);
        if (easy_) lib_.easy_cleanup(easy_);
        if (multi_) lib_.multi_cleanup(multi_);
        lib_.slist_free_all(headerList_);
    }

    bool Init() {
        easy_ = lib_.easy_init();
        multi_ = lib_.multi_init();
        return easy_ && multi_;
    }

    bool Connect() override {
        if (setup_.host.empty() || (setup_.scheme != "http" && setup_.scheme != "https")) {
            return Fail(CURLE_URL_MALFORMAT);
        }
        if (!Configure()) return false;
        if (lib_.multi_add_handle(multi_, easy_) != CURLM_OK) return Fail(CURLE_FAILED_INIT);
        Drive([this] { return Connected(); });
        if (Connected()) return true;
        if (!done_) return Fail(CURLE_ABORTED_BY_CALLBACK);
        // A transfer that ended after the connection was made reports at the next step.
        switch (result_) {
            case CURLE_COULDNT_CONNECT:
                // A connection reset while the secure channel is set up was made first.
                return DroppedAfterConnecting();
            case CURLE_COULDNT_RESOLVE_PROXY:
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_OPERATION_TIMEDOUT:
            case CURLE_ABORTED_BY_CALLBACK:
            case CURLE_UNSUPPORTED_PROTOCOL:
            case CURLE_URL_MALFORMAT:
                return false;
            default:
                return true;
        }
    }

    bool SendHeaders() override {
        Drive([this] {
            if (setup_.bodyLength > 0) return readWaiting_ || headersDone_;
            return headersOut_;
        });
        return headersOut_ && (result_ == CURLE_OK || headersDone_);
    }

    bool WriteBody(const ChunkSource& next) override {
        source_ = &next;
        Resume();
        Drive([this] { return BodyTaken(); });
        const bool taken = BodyTaken();
        source_ = nullptr;
        pending_ = nullptr;
        pendingLength_ = 0;
        if (!taken && result_ == CURLE_OK) result_ = CURLE_SEND_ERROR;
        return taken;
    }

    bool EndRequest() override {
        Resume();
        Drive([this] { return headersDone_; });
        return headersDone_;
    }

    std::string RawHeaders() override { return headersDone_ ? rawHeaders_ : std::string(); }

    bool Available(size_t* count) override {
        Drive([this] { return InboxSize() > 0; });
        *count = InboxSize();
        return *count > 0 || result_ == CURLE_OK;
    }

    bool Read(char* buffer, size_t capacity, size_t* count) override {
        *count = 0;
        if (!Available(count)) return false;
        *count = std::min(capacity, InboxSize());
        std::memcpy(buffer, inbox_.data() + inboxStart_, *count);
        inboxStart_ += *count;
        if (inboxStart_ == inbox_.size()) {
            inbox_.clear();
            inboxStart_ = 0;
        }
        if (receivePaused_ && InboxSize() < kInboxLimit / 2) {
            receivePaused_ = false;
            Resume();
        }
        return true;
    }

    uint32_t Status() override {
        long code = 0;
        if (headersDone_) lib_.easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &code);
        return static_cast<uint32_t>(code);
    }

    long LastError() override { return static_cast<long>(result_); }

    TransportFailure LastFailure() override {
        switch (result_) {
            case CURLE_OK:
                return TransportFailure::kNone;
            case CURLE_COULDNT_CONNECT:
            case CURLE_COULDNT_RESOLVE_HOST:
            case CURLE_COULDNT_RESOLVE_PROXY:
                return TransportFailure::kCannotConnect;
            case CURLE_OPERATION_TIMEDOUT:
                return TransportFailure::kTimedOut;
            case CURLE_TOO_MANY_REDIRECTS:
                return TransportFailure::kTooManyRedirects;
            case CURLE_WRITE_ERROR:
                if (redirectRefused_) return TransportFailure::kRedirectRefused;
                return TransportFailure::kOther;
            default:
                return TransportFailure::kOther;
        }
    }

  private:
    bool Fail(CURLcode code) {
        result_ = code;
        done_ = true;
        return false;
    }

    bool Configure() {
        std::string host = setup_.host;
        if (host.find(':') != std::string::npos) host = "[" + host + "]";
        const std::string url = setup_.scheme + "://" + host + ":" + std::to_string(setup_.port) +
                                (setup_.target.empty() || setup_.target[0] != '/' ? "/" : "") +
                                setup_.target;
        // Extra header lines; an empty "Expect:" keeps the body going out without waiting
        // for an interim answer.
        size_t start = 0;
        while (start < setup_.headers.size()) {
            size_t end = setup_.headers.find("\r\n", start);
            if (end == std::string::npos) end = setup_.headers.size();
            if (end > start) {
                headerList_ = lib_.slist_append(headerList_,
                                                setup_.headers.substr(start, end - start).c_str());
            }
            start = end + 2;
        }
        headerList_ = lib_.slist_append(headerList_, "Expect:");

        CURL* e = easy_;
        bool ok = lib_.easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK;
        lib_.easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
        lib_.easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
        lib_.easy_setopt(e, CURLOPT_PATH_AS_IS, 1L);
        lib_.easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        lib_.easy_setopt(e, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
        lib_.easy_setopt(e, CURLOPT_USERAGENT, setup_.agent.c_str());
        lib_.easy_setopt(e, CURLOPT_HTTPHEADER, headerList_);
        lib_.easy_setopt(e, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
        lib_.easy_setopt(e, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
        lib_.easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
        if (setup_.scheme == "https") {
            lib_.easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 0L);
            lib_.easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 0L);
        }
        if (setup_.followRedirects) {
            lib_.easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
            lib_.easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
        }
        if (setup_.verb == "GET") {
            lib_.easy_setopt(e, CURLOPT_HTTPGET, 1L);
        } else {
            lib_.easy_setopt(e, CURLOPT_POST, 1L);
            lib_.easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(std::max<int64_t>(setup_.bodyLength, 0)));
            if (setup_.verb != "POST")
                lib_.easy_setopt(e, CURLOPT_CUSTOMREQUEST, setup_.verb.c_str());
            lib_.easy_setopt(e, CURLOPT_UPLOAD_BUFFERSIZE, kChunkBytes);
            lib_.easy_setopt(e, CURLOPT_READFUNCTION, &CurlHttpSession::OnRead);
            lib_.easy_setopt(e, CURLOPT_READDATA, this);
        }
        lib_.easy_setopt(e, CURLOPT_HEADERFUNCTION, &CurlHttpSession::OnHeader);
        lib_.easy_setopt(e, CURLOPT_HEADERDATA, this);
        lib_.easy_setopt(e, CURLOPT_WRITEFUNCTION, &CurlHttpSession::OnBody);
        lib_.easy_setopt(e, CURLOPT_WRITEDATA, this);
        lib_.easy_setopt(e, CURLOPT_PREREQFUNCTION, &CurlHttpSession::OnPrereq);
        lib_.easy_setopt(e, CURLOPT_PREREQDATA, this);
        // Sent bytes are counted from the debug stream; verbose only feeds that callback.
        lib_.easy_setopt(e, CURLOPT_DEBUGFUNCTION, &CurlHttpSession::OnDebug);
        lib_.easy_setopt(e, CURLOPT_DEBUGDATA, this);
        lib_.easy_setopt(e, CURLOPT_VERBOSE, 1L);
        if (!ok) return Fail(CURLE_URL_MALFORMAT);
        return true;
    }

    bool Cancelled() const { return hooks_.cancelled && hooks_.cancelled(); }

    bool Connected() {
        if (connected_) return true;
        curl_off_t connectTime = 0;
        if (lib_.easy_getinfo(easy_, CURLINFO_CONNECT_TIME_T, &connectTime) == CURLE_OK &&
            connectTime > 0) {
            connected_ = true;
        }
        return connected_;
    }

    bool DroppedAfterConnecting() {
        long error = 0;
        lib_.easy_getinfo(easy_, CURLINFO_OS_ERRNO, &error);
        return error == ECONNRESET || error == EPIPE;
    }

    // Every byte of the body was handed to the connection.
    bool BodyTaken() const {
        return pendingLength_ == 0 && (sourceEnded_ || bodyTaken_ >= setup_.bodyLength);
    }

    size_t InboxSize() const { return inbox_.size() - inboxStart_; }

    // Lets a paused direction go on: the sender once a chunk or the end is there, the
    // receiver once the inbox has room.
    void Resume() {
        if (done_ || !easy_) return;
        const int mask = receivePaused_ ? CURLPAUSE_RECV : 0;
        readWaiting_ = false;
        lib_.easy_pause(easy_, mask);
    }

    // Runs the transfer until `ready` holds, the transfer ends or the request is cancelled.
    template <class Ready>
    void Drive(Ready ready) {
        int wait = kShortestPollMs;
        unsigned long seen = activity_;
        while (!done_ && !ready()) {
            if (Cancelled()) {
                Fail(CURLE_ABORTED_BY_CALLBACK);
                return;
            }
            int running = 0;
            if (lib_.multi_perform(multi_, &running) != CURLM_OK) {
                Fail(CURLE_FAILED_INIT);
                return;
            }
            int queued = 0;
            while (CURLMsg* message = lib_.multi_info_read(multi_, &queued)) {
                if (message->msg == CURLMSG_DONE) {
                    result_ = message->data.result;
                    done_ = true;
                }
            }
            if (done_ || ready()) return;
            wait = activity_ != seen ? kShortestPollMs : std::min(wait * 2, kLongestPollMs);
            seen = activity_;
            lib_.multi_poll(multi_, nullptr, 0, wait, nullptr);
        }
    }

    static size_t OnRead(char* buffer, size_t size, size_t count, void* context) {
        CurlHttpSession* self = static_cast<CurlHttpSession*>(context);
        if (self->Cancelled()) return CURL_READFUNC_ABORT;
        if (self->pendingLength_ == 0 && self->source_ && !self->sourceEnded_) {
            const char* data = nullptr;
            size_t length = 0;
            if (!(*self->source_)(&data, &length)) return CURL_READFUNC_ABORT;
            self->pending_ = data;
            self->pendingLength_ = data ? length : 0;
            self->sourceEnded_ = self->pendingLength_ == 0;
        }
        if (self->pendingLength_ == 0) {
            if (self->sourceEnded_) return 0;
            self->readWaiting_ = true;
            return CURL_READFUNC_PAUSE;
        }
        const size_t n = std::min(size * count, self->pendingLength_);
        std::memcpy(buffer, self->pending_, n);
        self->pending_ += n;
        self->pendingLength_ -= n;
        self->bodyTaken_ += static_cast<int64_t>(n);
        return n;
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* context) {
        CurlHttpSession* self = static_cast<CurlHttpSession*>(context);
        const std::string line(data, size * count);
        if (StartsWithNoCase(line, "HTTP/")) {
            self->block_.clear();
            self->blockHasLocation_ = false;
            const size_t blank = line.find(' ');
            self->blockStatus_ = blank == std::string::npos ? 0 : std::atoi(line.c_str() + blank);
        } else if (StartsWithNoCase(line, "Location:")) {
            self->blockHasLocation_ = true;
            self->blockLocation_ = Trimmed(line.substr(std::strlen("Location:")));
        }
        self->block_ += line;
        if (line == "\r\n" || line == "\n") {
            const bool interim = self->blockStatus_ / 100 == 1;
            const bool followed = self->setup_.followRedirects && self->blockStatus_ / 100 == 3 &&
                                  self->blockHasLocation_;
            // The transfer ends here (a write error) unless the hook lets it go on.
            if (followed && self->hooks_.redirect && !self->MayFollow()) {
                self->redirectRefused_ = true;
                return 0;
            }
            if (!interim && !followed) {
                self->rawHeaders_ = self->block_;
                self->headersDone_ = true;
            }
        }
        return size * count;
    }

    static std::string Trimmed(const std::string& text) {
        const size_t begin = text.find_first_not_of(" \t\r\n");
        if (begin == std::string::npos) return std::string();
        return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
    }

    // The redirect's absolute address (the Location resolved against the address answered)
    // put to the hook; an address that does not resolve is refused.
    bool MayFollow() {
        char* current = nullptr;
        if (lib_.easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &current) != CURLE_OK || !current)
            return false;
        CURLU* url = lib_.url();
        if (!url) return false;
        std::string target;
        char* resolved = nullptr;
        if (lib_.url_set(url, CURLUPART_URL, current, 0) == CURLUE_OK &&
            lib_.url_set(url, CURLUPART_URL, blockLocation_.c_str(), 0) == CURLUE_OK &&
            lib_.url_get(url, CURLUPART_URL, &resolved, 0) == CURLUE_OK && resolved) {
            target = resolved;
        }
        lib_.free(resolved);
        lib_.url_cleanup(url);
        return !target.empty() && hooks_.redirect(target);
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* context) {
        CurlHttpSession* self = static_cast<CurlHttpSession*>(context);
        if (self->Cancelled()) return 0;
        if (self->InboxSize() >= kInboxLimit) {
            self->receivePaused_ = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        self->inbox_.append(data, size * count);
        ++self->activity_;
        return size * count;
    }

    static int OnPrereq(void* context, char*, char*, int, int) {
        static_cast<CurlHttpSession*>(context)->connected_ = true;
        return CURL_PREREQFUNC_OK;
    }

    static int OnDebug(CURL*, curl_infotype type, char*, size_t size, void* context) {
        CurlHttpSession* self = static_cast<CurlHttpSession*>(context);
        if (type != CURLINFO_HEADER_OUT && type != CURLINFO_DATA_OUT) return 0;
        if (type == CURLINFO_HEADER_OUT) self->headersOut_ = true;
        ++self->activity_;
        if (size > 0 && self->hooks_.sent) self->hooks_.sent(static_cast<unsigned long>(size));
        return 0;
    }

    const CurlLibrary& lib_;
    HttpRequestSetup setup_;
    HttpSessionHooks hooks_;
    CURL* easy_ = nullptr;
    CURLM* multi_ = nullptr;
    curl_slist* headerList_ = nullptr;
    bool done_ = false;
    CURLcode result_ = CURLE_OK;
    bool connected_ = false;
    bool headersOut_ = false;
    unsigned long activity_ = 0;  // callbacks that moved bytes, to tell a moving transfer
    // Request body hand-over: the chunk being copied and where the next ones come from.
    const ChunkSource* source_ = nullptr;
    const char* pending_ = nullptr;
    size_t pendingLength_ = 0;
    int64_t bodyTaken_ = 0;
    bool readWaiting_ = false;
    bool sourceEnded_ = false;
    // Response.
    std::string block_;
    long blockStatus_ = 0;
    bool blockHasLocation_ = false;
    std::string blockLocation_;
    bool redirectRefused_ = false;
    std::string rawHeaders_;
    bool headersDone_ = false;
    std::string inbox_;
    size_t inboxStart_ = 0;
    bool receivePaused_ = false;
};

}  // namespace

std::unique_ptr<HttpSession> OpenHttpSession(const HttpRequestSetup& setup,
                                             const HttpSessionHooks& hooks) {
    const CurlLibrary* lib = Curl();
    if (!lib) return nullptr;
    std::unique_ptr<CurlHttpSession> session(new CurlHttpSession(*lib, setup, hooks));
    if (!session->Init()) return nullptr;
    return std::unique_ptr<HttpSession>(session.release());
}

}  // namespace platform
