#include "Network/HttpClient.h"

#include <algorithm>
#include <cstring>

#include "Biz/Log.h"
#include "Network/RequestSetup.h"
#include "Network/ResponseHeaders.h"
#include "Network/TransferFigures.h"
#include "platform/http/HttpSession.h"
#include "platform/kernel/Ticks.h"

namespace {

const int kReadPiece = 254;

std::string WithoutCr(std::string text) {
    text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
    return text;
}

}  // namespace

HttpClient::HttpClient() = default;

HttpClient::~HttpClient() {
    session_.reset();
    disconnect_all();
}

void HttpClient::SetBody(const char* data, int32_t length) {
    SetBodyPieces({BodyPiece{data, length}});
}

void HttpClient::SetBodyPieces(const std::vector<BodyPiece>& pieces) {
    body_.clear();
    bodyLength_ = 0;
    for (const BodyPiece& piece : pieces) {
        if ((!piece.data && !piece.read) || piece.length <= 0) continue;
        body_.push_back(piece);
        bodyLength_ += piece.length;
    }
}

std::string HttpClient::GetResponseHeader(const std::string& name) const {
    const auto found = responseHeaders_.find(name);
    return found == responseHeaders_.end() ? std::string() : found->second;
}

int HttpClient::Post(const std::string& url, const std::string& pathOverride,
                     const std::string& agent) {
    QUILLON_TRACE(Log::kHttpClient, 76, Log::Gbk(u8"请求路径：") << url);
    if (Cancelled()) return 0;

    platform::HttpRequestSetup setup = MakeRequestSetup(url, pathOverride, verb_, headers_, agent);
    setup.bodyLength = bodyLength_;
    failure_ = TransferFailure();
    limits_ = GetTransferLimits();
    guard_.reset(new TransferGuard(limits_));
    platform::HttpSessionHooks hooks;
    hooks.sent = [this](unsigned long bytes) {
        guard_->Count(static_cast<int64_t>(bytes));
        Sent.emit(bytes);
    };
    // A request that fell below the minimum rate or passed its deadline ends like a stop.
    CancelFlag cancel = cancel_;
    hooks.cancelled = [this, cancel] { return IsCancelled(cancel) || guard_->Expired(); };
    session_ = platform::OpenHttpSession(setup, hooks);
    if (!session_) {
        NoteFailure(TransferFailure::Of(TransferFailure::kTransport));
        return 0;
    }

    int result = Connect();
    if (result && !Cancelled()) result = SendHeaders();
    if (result && !Cancelled()) result = SendBody();
    if (result && !Cancelled()) result = QueryHeaders();
    if (result && !Cancelled()) result = ReadResponse();
    if (result && !Cancelled()) result = QueryStatus();

    if (!result && !Cancelled()) NoteFailure(SessionFailure());
    session_.reset();
    if (Cancelled()) failure_ = TransferFailure();
    return Cancelled() ? 0 : result;
}

void HttpClient::NoteFailure(const TransferFailure& failure) {
    // The first reason found is the cause; later steps only fail after it.
    if (failure_.kind == TransferFailure::kNone) failure_ = failure;
}

TransferFailure HttpClient::SessionFailure() const {
    return guard_->SessionFailure(*session_);
}

int HttpClient::Connect() {
    if (session_->Connect()) {
        QUILLON_TRACE(Log::kHttpClient, 127, Log::Gbk(u8"连接服务器成功"));
        return 1;
    }
    QUILLON_TRACE(Log::kHttpClient, 131, Log::Gbk(u8"连接服务器错误") << session_->LastError());
    return 0;
}

int HttpClient::SendHeaders() {
    QUILLON_TRACE(Log::kHttpClient, 168,
                  Log::Gbk(u8"开始发送请求头，内容：\r\n") << WithoutCr(headers_));
    if (session_->SendHeaders()) {
        QUILLON_TRACE(Log::kHttpClient, 176, Log::Gbk(u8"head 信息发送成功"));
        return 1;
    }
    if (Cancelled()) return 0;
    QUILLON_TRACE(Log::kHttpClient, 188,
                  Log::Gbk(u8"发送HTTP请求头失败，错误码:") << session_->LastError());
    TransferFailure failure = SessionFailure();
    if (failure.kind == TransferFailure::kTransport)
        failure.kind = TransferFailure::kHeadersNotSent;
    NoteFailure(failure);
    Error.emit(1);
    return 0;
}

const char* HttpClient::NextChunk(size_t length) {
    const BodyPiece* piece = &body_[piece_];
    const char* chunk = piece->data + pieceOffset_;
    const bool inPlace =
        !piece->read && piece->length - pieceOffset_ >= static_cast<int64_t>(length);
    if (!inPlace) scratch_.resize(static_cast<size_t>(kChunkSize));
    size_t filled = 0;
    while (filled < length) {
        piece = &body_[piece_];
        const size_t n = static_cast<size_t>(
            std::min<int64_t>(piece->length - pieceOffset_, static_cast<int64_t>(length - filled)));
        if (piece->read) {
            if (!piece->read(scratch_.data() + filled, n)) return nullptr;
        } else if (!inPlace) {
            std::memcpy(scratch_.data() + filled, piece->data + pieceOffset_, n);
        }
        filled += n;
        pieceOffset_ += n;
        if (pieceOffset_ == piece->length) {
            ++piece_;
            pieceOffset_ = 0;
        }
    }
    offset_ += static_cast<int64_t>(length);
    return inPlace ? chunk : scratch_.data();
}

int HttpClient::SendBody() {
    // The transport asks for each chunk when the connection has room for it, so no chunk
    // waits for the previous one to be handed over; the cancel flag is read before each.
    // A chunk is only ever read before the next one is asked for, so the scratch buffer of
    // a chunk that spans two pieces can be reused.
    piece_ = 0;
    pieceOffset_ = 0;
    offset_ = 0;
    const platform::HttpSession::ChunkSource next = [this](const char** data, size_t* length) {
        if (Cancelled()) return false;
        const size_t n = static_cast<size_t>(std::min<int64_t>(kChunkSize, bodyLength_ - offset_));
        *data = n > 0 ? NextChunk(n) : nullptr;
        *length = n;
        return n == 0 || *data != nullptr;
    };
    if (bodyLength_ > 0 && !Cancelled() && !session_->WriteBody(next)) {
        if (!Cancelled()) {
            QUILLON_TRACE(Log::kHttpClient, 221,
                          Log::Gbk(u8"发送文件块数据失败，错误码：") << session_->LastError());
        }
        return 0;
    }
    if (Cancelled()) return 0;

    // The whole answer, from here on, must come within its deadline.
    guard_->SetDeadline(limits_.uploadResponseDeadlineMs);
    const int64_t started = platform::ProcessClockMs();
    if (!session_->EndRequest()) return 0;
    const int64_t waited = platform::ProcessClockMs() - started;
    QUILLON_TRACE(Log::kHttpClient, 246,
                  Log::Gbk(u8"完成请求延迟时间：") << FormatHms(waited / 1000));
    return 1;
}

int HttpClient::QueryHeaders() {
    responseHeaders_.clear();
    const std::string raw = session_->RawHeaders();
    if (raw.empty()) {
        QUILLON_TRACE(Log::kHttpClient, 268, Log::Gbk(u8"未找到头信息"));
        return 0;
    }
    responseHeaders_ = ParseResponseHeaders(raw);
    QUILLON_TRACE(Log::kHttpClient, 302, Log::Gbk(u8"head信息：\n") << WithoutCr(raw));
    return 1;
}

int HttpClient::ReadResponse() {
    status_ = 0;
    response_.clear();
    char piece[kReadPiece + 2];
    bool readFailed = false;
    int64_t received = 0;
    while (!Cancelled()) {
        size_t got = 0;
        if (!session_->Read(piece, kReadPiece, &got)) {
            QUILLON_TRACE(Log::kHttpClient, 325,
                          Log::Gbk(u8"读取数据出错，错误码：") << session_->LastError());
            readFailed = true;
            break;
        }
        if (got == 0) break;
        guard_->Count(static_cast<int64_t>(got));
        received += static_cast<int64_t>(got);
        // An answer is held in memory: one over the limit is not read on.
        if (received > limits_.maxUploadResponseBytes) {
            NoteFailure(TransferFailure::Of(TransferFailure::kResponseTooLarge,
                                            limits_.maxUploadResponseBytes));
            QUILLON_TRACE(Log::kHttpClient, 330, Log::Gbk(u8"服务器返回信息过长：") << received);
            response_.clear();
            return 0;
        }
        piece[got] = '\0';
        // A NUL byte ends what is kept of this piece.
        response_.append(piece);
    }
    QUILLON_TRACE(Log::kHttpClient, 341, Log::Gbk(u8"服务器返回信息：\r\n") << response_ << "\r\n");
    // A response cut off by a transport error is not taken as the server's answer.
    return readFailed ? 0 : 1;
}

int HttpClient::QueryStatus() {
    status_ = session_->Status();
    QUILLON_TRACE(Log::kHttpClient, 358, Log::Gbk(u8"HTTP状态码：") << status_);
    return status_ != 0;
}
