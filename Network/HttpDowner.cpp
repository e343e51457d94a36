#include "Network/HttpDowner.h"

#include <algorithm>
#include <vector>

#include "Biz/Log.h"
#include "Network/RequestSetup.h"
#include "Network/ResponseHeaders.h"
#include "Network/UrlParts.h"
#include "platform/http/HttpSession.h"
#include "platform/kernel/Text.h"

const char HttpDowner::kAgent[] = "Tamberly";

namespace {

const size_t kReadBuffer = 65536;

bool ParseLength(const std::string& text, int64_t* length) {
    if (text.empty() || text.size() > 18) return false;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    *length = value;
    return true;
}

}  // namespace

HttpDowner::HttpDowner() = default;

HttpDowner::~HttpDowner() {
    session_.reset();
    disconnect_all();
}

int HttpDowner::Download(const std::string& url, const std::string& pathOverride) {
    QUILLON_TRACE(Log::kHttpDowner, 58, Log::Gbk(u8"请求路径：") << url);
    if (Cancelled()) return 0;

    defaultFileName_ = util::AnsiToWide(UrlFileName(url));
    status_ = 0;
    contentLength_ = 0;
    contentType_.clear();

    platform::HttpRequestSetup setup = MakeRequestSetup(url, pathOverride, verb_, headers_, kAgent);
    setup.followRedirects = true;
    failure_ = TransferFailure();
    const TransferLimits limits = GetTransferLimits();
    guard_.reset(new TransferGuard(limits));
    guard_->SetDeadline(limits.downloadDeadlineMs);
    platform::HttpSessionHooks hooks;
    hooks.sent = [this](unsigned long bytes) { guard_->Count(static_cast<int64_t>(bytes)); };
    // A download that fell below the minimum rate or passed its deadline ends like a stop.
    CancelFlag cancel = cancel_;
    hooks.cancelled = [this, cancel] { return IsCancelled(cancel) || guard_->Expired(); };
    if (redirectCheck_) {
        hooks.redirect = [this](const std::string& target) {
            if (redirectCheck_(target)) return true;
            QUILLON_TRACE(Log::kHttpDowner, 0, "redirect refused: " << target);
            return false;
        };
    }
    session_ = platform::OpenHttpSession(setup, hooks);
    if (!session_) {
        NoteFailure(TransferFailure::Of(TransferFailure::kTransport));
        return 0;
    }

    int result = Connect();
    if (result && !Cancelled()) result = SendRequest();
    if (result && !Cancelled()) result = QueryStatus();
    if (result && !Cancelled()) result = QueryLength();
    if (result && !Cancelled()) result = QueryRange();
    if (result && !Cancelled()) result = QueryType();
    if (result && !Cancelled()) result = QueryDisposition();
    if (result && !Cancelled()) result = ReadBody();

    if (!result && !Cancelled()) NoteFailure(SessionFailure());
    session_.reset();
    if (Cancelled()) failure_ = TransferFailure();
    return Cancelled() ? 0 : result;
}

void HttpDowner::NoteFailure(const TransferFailure& failure) {
    if (failure_.kind == TransferFailure::kNone) failure_ = failure;
}

TransferFailure HttpDowner::SessionFailure() const {
    return guard_->SessionFailure(*session_);
}

int HttpDowner::Connect() {
    if (session_->Connect()) {
        QUILLON_TRACE(Log::kHttpDowner, 127, Log::Gbk(u8"连接服务器成功"));
        return 1;
    }
    QUILLON_TRACE(Log::kHttpDowner, 131, Log::Gbk(u8"连接服务器错误") << session_->LastError());
    return 0;
}

int HttpDowner::SendRequest() {
    QUILLON_TRACE(Log::kHttpDowner, 168, Log::Gbk(u8"开始发送请求头，内容：\r\n") << headers_);
    if (session_->SendHeaders() && session_->EndRequest()) {
        QUILLON_TRACE(Log::kHttpDowner, 176, Log::Gbk(u8"head 信息发送成功"));
        rawHeaders_ = session_->RawHeaders();
        return 1;
    }
    if (!Cancelled()) {
        QUILLON_TRACE(Log::kHttpDowner, 188,
                      Log::Gbk(u8"发送HTTP请求头失败，错误码:") << session_->LastError());
    }
    return 0;
}

int HttpDowner::QueryStatus() {
    status_ = session_->Status();
    QUILLON_TRACE(Log::kHttpDowner, 206, Log::Gbk(u8"HTTP状态码：") << status_);
    return status_ != 0;
}

int HttpDowner::QueryLength() {
    std::string text;
    int64_t length = 0;
    if (!FindResponseHeader(rawHeaders_, "Content-Length", &text) || !ParseLength(text, &length)) {
        QUILLON_TRACE(Log::kHttpDowner, 221, Log::Gbk(u8"未找到头信息"));
        NoteFailure(TransferFailure::Of(TransferFailure::kBadResponse));
        return 0;
    }
    contentLength_ = length;
    // Refused before the owner allocates anything for it.
    if (length > maxLength_) {
        QUILLON_TRACE(Log::kHttpDowner, 227, Log::Gbk(u8"文件太大：") << length);
        NoteFailure(TransferFailure::Of(TransferFailure::kBodyTooLarge, length));
        return 0;
    }
    Length.emit(length);
    return 1;
}

int HttpDowner::QueryRange() {
    std::string range;
    if (FindResponseHeader(rawHeaders_, "Content-Range", &range)) {
        QUILLON_TRACE(Log::kHttpDowner, 241, "HTTP_QUERY_CONTENT_RANGE: " << range);
    } else {
        QUILLON_TRACE(Log::kHttpDowner, 245, Log::Gbk(u8"未找到头信息"));
    }
    return 1;
}

int HttpDowner::QueryType() {
    std::string type;
    if (!FindResponseHeader(rawHeaders_, "Content-Type", &type)) {
        QUILLON_TRACE(Log::kHttpDowner, 256, Log::Gbk(u8"未找到头信息"));
        NoteFailure(TransferFailure::Of(TransferFailure::kBadResponse));
        return 0;
    }
    QUILLON_TRACE(Log::kHttpDowner, 260, "HTTP_QUERY_CONTENT_TYPE " << type);
    contentType_ = type;
    return 1;
}

int HttpDowner::QueryDisposition() {
    std::string disposition;
    if (!FindResponseHeader(rawHeaders_, "Content-Disposition", &disposition)) {
        FileName.emit(defaultFileName_);
        QUILLON_TRACE(Log::kHttpDowner, 272, Log::Gbk(u8"未找到 HTTP_QUERY_CONTENT_DISPOSITION"));
        return 1;
    }
    QUILLON_TRACE(Log::kHttpDowner, 276, "HTTP_QUERY_CONTENT_DISPOSITION " << disposition);
    std::string name;
    const size_t at = disposition.find("filename=");
    if (at != std::string::npos) {
        name = disposition.substr(at + 9);
        name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
    }
    FileName.emit(util::Utf8ToWide(util::UrlDecode(name)));
    return 1;
}

int HttpDowner::ReadBody() {
    if (contentLength_ <= 0) {
        NoteFailure(TransferFailure::Of(TransferFailure::kBadResponse));
        return 0;
    }
    std::vector<char> buffer(kReadBuffer);
    int64_t received = 0;
    while (received < contentLength_) {
        size_t ready = 0;
        if (!session_->Available(&ready)) return 0;
        if (Cancelled() || ready == 0) break;
        while (ready > 0) {
            size_t got = 0;
            if (!session_->Read(buffer.data(), std::min(ready, buffer.size()), &got)) return 0;
            if (got == 0) break;
            guard_->Count(static_cast<int64_t>(got));
            Data.emit(buffer.data(), static_cast<unsigned long>(got));
            received += static_cast<int64_t>(got);
            ready -= got;
        }
    }
    // A body shorter than its Content-Length is a failed download, not a padded one.
    if (received == contentLength_) return 1;
    if (!Cancelled()) NoteFailure(TransferFailure::Of(TransferFailure::kBadResponse));
    return 0;
}
