#include "tools/quillon/ServeRequests.h"

#include <unistd.h>

#include <algorithm>

#include "tools/quillon/MultipartReader.h"
#include "tools/quillon/RequestHead.h"
#include "tools/quillon/SocketIo.h"
#include "tools/quillon/UploadSink.h"

namespace {

const size_t kChunkBytes = 65536;
// How long a refused client may go on sending before the connection closes.
const ServeClock::duration kLinger = std::chrono::seconds(2);

const char* Reason(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 411:
            return "Length Required";
        case 413:
            return "Payload Too Large";
        case 431:
            return "Request Header Fields Too Large";
        case 500:
            return "Internal Server Error";
        default:
            return "Error";
    }
}

std::string AnswerHead(const ServerOptions& options, int status, const std::string& contentType,
                       uint64_t length, bool keepAlive) {
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    if (!contentType.empty()) text += "Content-Type: " + contentType + "\r\n";
    if (status == 405) text += "Allow: GET, HEAD, POST\r\n";
    text += "Content-Length: " + std::to_string(length) + "\r\n";
    if (keepAlive) {
        const auto idle = std::chrono::duration_cast<std::chrono::seconds>(options.idleTimeout);
        text +=
            "Keep-Alive: timeout=" + std::to_string(std::max<long long>(idle.count(), 1)) + "\r\n";
    } else {
        text += "Connection: close\r\n";
    }
    return text + "\r\n";
}

class Exchange {
  public:
    Exchange(const ServeContext& context, Connection& connection)
        : options_(context.options), context_(context), connection_(connection) {}

    bool Handle();

  private:
    bool Upload();
    bool Download(bool withBody);

    // Sends a whole answer; true when the connection stays open for the next request.
    bool Answer(int status, const std::string& contentType, const std::string& body) {
        const std::string text =
            AnswerHead(options_, status, contentType, body.size(), keepAlive_) + body;
        const bool sent = WriteAll(connection_.fd, text.data(), text.size(),
                                   TransferDeadline(options_, text.size()), options_.headerTimeout);
        return Finish(sent);
    }
    bool Finish(bool sent) {
        if (sent && keepAlive_) return true;
        close(connection_.fd);
        connection_.fd = -1;
        return false;
    }
    // Answers and closes without reading the rest of the request: what the client still
    // sends is only discarded for a moment, so that it can read the answer.
    bool Refuse(int status, const std::string& message) {
        keepAlive_ = false;
        const std::string text =
            AnswerHead(options_, status, "text/plain", message.size(), false) + message;
        WriteAll(connection_.fd, text.data(), text.size(), TransferDeadline(options_, text.size()),
                 options_.headerTimeout);
        DrainAndClose(connection_.fd,
                      std::min<ServeClock::duration>(kLinger, options_.headerTimeout));
        connection_.fd = -1;
        return false;
    }

    const ServerOptions& options_;
    const ServeContext& context_;
    Connection& connection_;
    RequestHead head_;
    bool keepAlive_ = false;
};

bool Exchange::Handle() {
    if (connection_.refuseStatus != 0) {
        return Refuse(connection_.refuseStatus, "request header block too large\n");
    }
    const std::string block = connection_.pending.substr(0, connection_.headLength);
    connection_.pending.erase(0, connection_.headLength);
    if (!ParseRequestHead(block, &head_)) return Refuse(400, "malformed request\n");
    keepAlive_ = head_.KeepAlive();
    if (head_.method == "POST") return Upload();

    // Other requests carry no body here; one that does ends its connection.
    uint64_t length = 0;
    const BodyLength body = ReadBodyLength(head_, &length);
    if (body == BodyLength::kBad) return Refuse(400, "bad Content-Length\n");
    if (body == BodyLength::kChunked || (body == BodyLength::kLength && length > 0)) {
        return Refuse(400, "unexpected request body\n");
    }
    if (head_.method == "GET" || head_.method == "HEAD") return Download(head_.method == "GET");
    return Answer(405, "text/plain", "method not allowed\n");
}

bool Exchange::Upload() {
    uint64_t length = 0;
    switch (ReadBodyLength(head_, &length)) {
        case BodyLength::kChunked:
            return Refuse(411, "send the body with a Content-Length\n");
        case BodyLength::kNone:
            return Refuse(411, "Content-Length required\n");
        case BodyLength::kBad:
            return Refuse(400, "bad Content-Length\n");
        case BodyLength::kLength:
            break;
    }
    if (length > options_.maxBodyBytes) return Refuse(413, "request body too large\n");
    const std::string* contentType = head_.Field("content-type");
    const std::string boundary = contentType ? MultipartBoundary(*contentType) : "";
    if (boundary.empty()) return Refuse(400, "no file part\n");

    const int fd = connection_.fd;
    const ServeClock::time_point deadline = TransferDeadline(options_, length);
    if (head_.FieldHasToken("expect", "100-continue")) {
        static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
        if (!WriteAll(fd, kContinue, sizeof kContinue - 1, deadline, options_.headerTimeout)) {
            return Finish(false);
        }
    }

    UploadSink sink(context_.folder);
    MultipartReader reader(boundary, &sink);
    uint64_t left = length;
    const size_t early = static_cast<size_t>(std::min<uint64_t>(connection_.pending.size(), left));
    bool readable = reader.Feed(connection_.pending.data(), early);
    connection_.pending.erase(0, early);
    left -= early;
    char bytes[kChunkBytes];
    while (left > 0 && readable) {
        const size_t want = static_cast<size_t>(std::min<uint64_t>(left, sizeof bytes));
        const size_t got = ReadSome(fd, bytes, want, deadline, options_.headerTimeout);
        if (got == 0) return Finish(false);  // gone, stalled or too slow: nothing is stored
        left -= got;
        readable = reader.Feed(bytes, got);
    }
    if (!readable) {
        return sink.WriteFailed() ? Refuse(500, "cannot store the file\n")
                                  : Refuse(400, "malformed multipart body\n");
    }
    if (!reader.Complete()) return Answer(400, "text/plain", "malformed multipart body\n");
    if (!sink.SawFilePart()) return Answer(400, "text/plain", "no file part\n");
    if (sink.BadName()) return Answer(400, "text/plain", "bad file name\n");
    if (!sink.Store()) return Answer(500, "text/plain", "cannot store the file\n");
    return Answer(200, "text/plain; charset=utf-8",
                  "http://127.0.0.1:" + std::to_string(context_.port) + "/files/" + sink.Name());
}

std::string ContentTypeOf(const std::string& name) {
    const size_t dot = name.rfind('.');
    const std::string extension = LowerCase(dot == std::string::npos ? "" : name.substr(dot + 1));
    if (extension == "png") return "image/png";
    if (extension == "jpg" || extension == "jpeg") return "image/jpeg";
    if (extension == "gif") return "image/gif";
    if (extension == "bmp") return "image/bmp";
    if (extension == "txt") return "text/plain";
    return "application/octet-stream";
}

bool Exchange::Download(bool withBody) {
    static const std::string kPrefix = "/files/";
    const std::string path = DecodedPath(head_.target);
    uint64_t size = 0;
    const std::string name =
        path.compare(0, kPrefix.size(), kPrefix) == 0 ? path.substr(kPrefix.size()) : std::string();
    const int file = context_.folder.OpenStored(name, &size);
    if (file < 0) return Answer(404, "", "");

    const std::string text = AnswerHead(options_, 200, ContentTypeOf(name), size, keepAlive_);
    const ServeClock::time_point deadline = TransferDeadline(options_, text.size() + size);
    bool sent =
        WriteAll(connection_.fd, text.data(), text.size(), deadline, options_.headerTimeout);
    char bytes[kChunkBytes];
    for (uint64_t left = withBody ? size : 0; sent && left > 0;) {
        const ssize_t got =
            read(file, bytes, static_cast<size_t>(std::min<uint64_t>(left, sizeof bytes)));
        // A file cut short meanwhile cannot keep its Content-Length: the connection ends.
        sent = got > 0 && WriteAll(connection_.fd, bytes, static_cast<size_t>(got), deadline,
                                   options_.headerTimeout);
        left -= got > 0 ? static_cast<uint64_t>(got) : 0;
    }
    close(file);
    return Finish(sent);
}

}  // namespace

bool HandleRequest(const ServeContext& context, Connection& connection) {
    return Exchange(context, connection).Handle();
}
