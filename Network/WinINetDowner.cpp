#include "Network/WinINetDowner.h"

#include <cstring>

#include "Biz/Log.h"
#include "Network/HttpDowner.h"
#include "Network/HttpHeader.h"

struct WinINetDowner::Job {
    std::string url;
    std::string cookie;
    int64_t maxLength = 0;
    CancelFlag cancel;
    RedirectCheck redirectCheck;
};

WinINetDowner::WinINetDowner() : cancel_(MakeCancelFlag()) {}

WinINetDowner::~WinINetDowner() {
    Stop();
    gate_.WaitForWorker();
    disconnect_all();
}

void WinINetDowner::SetCookie(const std::string& cookie) {
    std::lock_guard<std::mutex> lock(mutex_);
    cookie_ = cookie;
}

void WinINetDowner::SetMaxLength(int64_t bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    maxLength_ = bytes;
}

void WinINetDowner::SetRedirectCheck(RedirectCheck check) {
    std::lock_guard<std::mutex> lock(mutex_);
    redirectCheck_ = std::move(check);
}

bool WinINetDowner::Download(const std::string& url) {
    auto job = std::make_shared<Job>();
    job->url = url;
    job->cancel = MakeCancelFlag();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!gate_.TryClaimLocked()) return false;
        job->cookie = cookie_;
        job->maxLength = maxLength_;
        job->redirectCheck = redirectCheck_;
        cancel_ = job->cancel;
        length_ = 0;
        std::vector<char>().swap(stream_);
        fileName_.clear();
        failure_ = TransferFailure();
    }
    gate_.Start([this, job] { Fetch(*job); });
    return true;
}

void WinINetDowner::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancel_->store(true);
}

bool WinINetDowner::IsBusy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return gate_.IsBusyLocked();
}

bool WinINetDowner::WaitUntilIdle(uint32_t ms) const {
    return gate_.WaitUntilIdle(ms);
}

boost::shared_array<char> WinINetDowner::GetData(uint32_t& length) {
    std::lock_guard<std::mutex> lock(mutex_);
    length = static_cast<uint32_t>(stream_.size());
    data_.reset(new char[stream_.size() + 1]());
    if (!stream_.empty()) std::memcpy(data_.get(), stream_.data(), stream_.size());
    return data_;
}

TransferFailure WinINetDowner::GetLastFailure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
}

std::wstring WinINetDowner::GetFileName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fileName_;
}

void WinINetDowner::Fetch(Job& job) {
    HttpHeader header;
    header.Remove("Content-Type");
    header.Remove("Accept");
    header.SetCookie(job.cookie);

    int fetched = 0;
    uint32_t status = 0;
    TransferFailure failure;
    {
        HttpDowner downer;
        downer.Data.connect(this, &WinINetDowner::OnData);
        downer.Length.connect(this, &WinINetDowner::OnLength);
        downer.FileName.connect(this, &WinINetDowner::OnFileName);
        downer.SetVerb("GET");
        downer.SetCancelFlag(job.cancel);
        downer.SetHeaders(header.ToString());
        downer.SetMaxLength(job.maxLength);
        downer.SetRedirectCheck(job.redirectCheck);
        fetched = downer.Download(job.url, std::string());
        status = downer.GetStatus();
        failure = downer.GetFailure();
    }
    // A status other than 200 is the cause, whatever step it then failed.
    if (status != 0 && status != 200) {
        failure = TransferFailure::Of(TransferFailure::kHttpStatus);
        failure.status = status;
    }
    bool whole = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        whole = static_cast<int64_t>(stream_.size()) == length_;
        if (fetched && !whole && failure.kind == TransferFailure::kNone)
            failure = TransferFailure::Of(TransferFailure::kBadResponse);
        if (!(fetched && status == 200 && whole)) failure_ = failure;
        gate_.ReleaseLocked();
    }
    if (fetched && status == 200 && whole) {
        Complete.emit();
    } else if (!IsCancelled(job.cancel)) {
        QUILLON_TRACE(Log::kWinINetDowner, 110,
                      Log::Gbk(u8"下载失败：") << DescribeFailure(failure));
        Error.emit(12);
    }
}

void WinINetDowner::OnLength(int64_t length) {
    std::lock_guard<std::mutex> lock(mutex_);
    length_ = length;
    stream_.clear();
    // HttpDowner refuses lengths over the maximum before this point.
    stream_.reserve(static_cast<size_t>(length));
}

void WinINetDowner::OnData(char* bytes, unsigned long count) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (static_cast<int64_t>(stream_.size() + count) > length_) return;
    stream_.insert(stream_.end(), bytes, bytes + count);
}

void WinINetDowner::OnFileName(std::wstring name) {
    QUILLON_TRACE(Log::kWinINetDowner, 97, Log::Gbk(u8"接收到文件名称"));
    std::lock_guard<std::mutex> lock(mutex_);
    fileName_ = name;
}
