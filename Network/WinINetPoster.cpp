#include "Network/WinINetPoster.h"

#include "Network/HttpClient.h"
#include "Network/HttpHeader.h"
#include "Network/MultipartBody.h"
#include "Network/TransferFigures.h"
#include "Network/UploadFileName.h"
#include "util/CodePage.h"

const char WinINetPoster::kAgent[] = "Velloran7";

struct WinINetPoster::Job {
    boost::shared_array<char> data;
    int32_t length = 0;
    std::wstring extension;
    std::string url;
    std::string cookie;
    FormFields fields;
    CancelFlag cancel;
};

WinINetPoster::WinINetPoster() : fields_(MakeFormFields()), cancel_(MakeCancelFlag()) {}

WinINetPoster::~WinINetPoster() {
    Stop();
    gate_.WaitForWorker();
    disconnect_all();
}

void WinINetPoster::SetPostUrl(const std::string& url) {
    std::lock_guard<std::mutex> lock(mutex_);
    postUrl_ = url;
}

void WinINetPoster::SetCookie(const std::string& cookie) {
    std::lock_guard<std::mutex> lock(mutex_);
    cookie_ = cookie;
}

void WinINetPoster::SetFields(const FormFields& fields) {
    std::lock_guard<std::mutex> lock(mutex_);
    fields_ = fields;
}

bool WinINetPoster::Post(const boost::shared_array<char>& data, int32_t length,
                         const std::wstring& extension) {
    auto job = std::make_shared<Job>();
    job->data = data;
    job->length = data ? std::max<int32_t>(length, 0) : 0;
    job->extension = extension;
    job->cancel = MakeCancelFlag();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!gate_.TryClaimLocked()) return false;
        job->url = postUrl_;
        job->cookie = cookie_;
        job->fields = SnapshotFormFields(fields_);
        cancel_ = job->cancel;
        fileName_.clear();
        posted_.store(0);
        length_.store(job->length);
    }
    gate_.Start([this, job] { Upload(*job); });
    return true;
}

void WinINetPoster::Stop() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancel_->store(true);
}

bool WinINetPoster::IsBusy() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return gate_.IsBusyLocked();
}

bool WinINetPoster::WaitUntilIdle(uint32_t ms) const {
    return gate_.WaitUntilIdle(ms);
}

std::string WinINetPoster::GetResponse() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return response_;
}

std::wstring WinINetPoster::GetFileName() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return fileName_;
}

std::string WinINetPoster::GetPercent() const {
    return PercentText(posted_.load(), length_.load());
}

std::string WinINetPoster::GetTimeLeft() const {
    return TimeLeftText(posted_.load(), length_.load(), speed_.load());
}

void WinINetPoster::Upload(Job& job) {
    // Naming reads every byte, so it runs here rather than on the owner's thread.
    const std::wstring fileName = UploadFileName(job.data.get(), job.length, job.extension);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fileName_ = fileName;
    }
    HttpHeader header;
    header.SetCookie(job.cookie);

    // The file's bytes go out from the caller's buffer between the bytes before and after
    // them, so a large file is neither copied nor held twice.
    MultipartBody head;
    head.AddFileHead("file", fileName);
    MultipartBody tail;
    tail.EndFile();
    for (const auto& field : *job.fields) tail.AddField(field.first, field.second);
    tail.End();

    int posted = 0;
    uint32_t status = 0;
    std::string response;
    std::string contentType;
    {
        HttpClient client;
        client.Error.connect(this, &WinINetPoster::OnClientError);
        client.Sent.connect(this, &WinINetPoster::OnClientSent);
        client.SetHeaders(header.ToString());
        client.SetBodyPieces({{reinterpret_cast<const char*>(head.GetBuffer(false)), head.Size()},
                              {job.data.get(), job.length},
                              {reinterpret_cast<const char*>(tail.GetBuffer(false)), tail.Size()}});
        client.SetVerb("POST");
        client.SetCancelFlag(job.cancel);
        posted = client.Post(job.url, std::string(), kAgent);
        status = client.GetStatus();
        contentType = client.GetResponseHeader("Content-Type");
        response = client.GetResponse();
    }

    if (posted && status == 200) {
        if (contentType.find("utf-8") != std::string::npos)
            response = util::NormalizeUtf8(response);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            response_ = response;
            gate_.ReleaseLocked();
        }
        Complete.emit();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        gate_.ReleaseLocked();
    }
    if (!IsCancelled(job.cancel)) Error.emit(2);
}

void WinINetPoster::OnClientError(unsigned int code) {
    Error.emit(code);
}

void WinINetPoster::OnClientSent(unsigned long bytes) {
    const int32_t length = length_.load();
    const int64_t sum = static_cast<int64_t>(posted_.load()) + static_cast<int64_t>(bytes);
    const int32_t posted = static_cast<int32_t>(std::min<int64_t>(sum, length));
    posted_.store(posted);
    speed_.store(static_cast<int32_t>(speedCalculater_.Update(posted)));
    Progress.emit(bytes);
}
