#include "Network/WinINetDowner.h"

#include <chrono>
#include <cstring>

#include "Biz/Log.h"
#include "Network/HttpDowner.h"
#include "Network/HttpHeader.h"
#include "threading/Worker.h"

namespace {

thread_local const WinINetDowner* tlsWorkerOf = nullptr;

}  // namespace

struct WinINetDowner::Job {
    std::string url;
    std::string cookie;
    int64_t maxLength = 0;
    CancelFlag cancel;
};

WinINetDowner::WinINetDowner() : cancel_(MakeCancelFlag()) {}

WinINetDowner::~WinINetDowner() {
    Stop();
    if (tlsWorkerOf != this) {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [this] { return workers_ == 0; });
    }
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

bool WinINetDowner::Download(const std::string& url) {
    auto job = std::make_shared<Job>();
    job->url = url;
    job->cancel = MakeCancelFlag();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (busy_) return false;
        busy_ = true;
        ++workers_;
        job->cookie = cookie_;
        job->maxLength = maxLength_;
        cancel_ = job->cancel;
        length_ = 0;
        std::vector<char>().swap(stream_);
        fileName_.clear();
    }
    try {
        Korvane::Threading::StartDetachedWorker([this, job] { RunWorker(this, job); });
    } catch (...) {
        std::lock_guard<std::mutex> lock(mutex_);
        busy_ = false;
        --workers_;
        idle_.notify_all();
        throw;
    }
    return true;
}

void WinINetDowner::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancel_->store(true);
}

bool WinINetDowner::IsBusy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return busy_;
}

bool WinINetDowner::WaitUntilIdle(uint32_t ms) const {
    std::unique_lock<std::mutex> lock(mutex_);
    return idle_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return workers_ == 0; });
}

boost::shared_array<char> WinINetDowner::GetData(uint32_t& length) {
    std::lock_guard<std::mutex> lock(mutex_);
    length = static_cast<uint32_t>(stream_.size());
    data_.reset(new char[stream_.size() + 1]());
    if (!stream_.empty()) std::memcpy(data_.get(), stream_.data(), stream_.size());
    return data_;
}

std::wstring WinINetDowner::GetFileName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fileName_;
}

void WinINetDowner::RunWorker(WinINetDowner* self, std::shared_ptr<Job> job) {
    tlsWorkerOf = self;
    self->Fetch(*job);
    tlsWorkerOf = nullptr;
    std::lock_guard<std::mutex> lock(self->mutex_);
    --self->workers_;
    self->idle_.notify_all();
}

void WinINetDowner::Fetch(Job& job) {
    HttpHeader header;
    header.Remove("Content-Type");
    header.Remove("Accept");
    header.SetCookie(job.cookie);

    int fetched = 0;
    uint32_t status = 0;
    {
        HttpDowner downer;
        downer.Data.connect(this, &WinINetDowner::OnData);
        downer.Length.connect(this, &WinINetDowner::OnLength);
        downer.FileName.connect(this, &WinINetDowner::OnFileName);
        downer.SetVerb("GET");
        downer.SetCancelFlag(job.cancel);
        downer.SetHeaders(header.ToString());
        downer.SetMaxLength(job.maxLength);
        fetched = downer.Download(job.url, std::string());
        status = downer.GetStatus();
    }
    bool whole = false;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        whole = static_cast<int64_t>(stream_.size()) == length_;
        busy_ = false;
    }
    if (fetched && status == 200 && whole) {
        Complete.emit();
    } else if (!IsCancelled(job.cancel)) {
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
