#include "Network/WinINetPoster.h"

#include "Biz/Log.h"
#include "Network/BoundaryChoice.h"
#include "Network/HttpClient.h"
#include "Network/HttpHeader.h"
#include "Network/MultipartBody.h"
#include "Network/TransferFigures.h"
#include "Network/UploadFileName.h"
#include "Network/UploadFileSource.h"
#include "platform/kernel/Text.h"

const char WinINetPoster::kAgent[] = "Velloran7";

struct WinINetPoster::Job {
    boost::shared_array<char> data;
    int32_t length = 0;
    std::wstring extension;
    std::wstring path;  // a file read from disk instead of `data`
    bool fromFile = false;
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
    return Start(job);
}

bool WinINetPoster::PostFile(const std::wstring& path, const std::wstring& extension) {
    auto job = std::make_shared<Job>();
    job->path = path;
    job->fromFile = true;
    job->extension = extension;
    return Start(job);
}

bool WinINetPoster::Start(const std::shared_ptr<Job>& job) {
    job->cancel = MakeCancelFlag();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!gate_.TryClaimLocked()) return false;
        job->url = postUrl_;
        job->cookie = cookie_;
        job->fields = SnapshotFormFields(fields_);
        cancel_ = job->cancel;
        fileName_.clear();
        failure_ = TransferFailure();
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

TransferFailure WinINetPoster::GetLastFailure() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
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

void WinINetPoster::Fail(const TransferFailure& failure, const CancelFlag& cancel) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!IsCancelled(cancel)) failure_ = failure;
        gate_.ReleaseLocked();
    }
    if (IsCancelled(cancel)) return;
    QUILLON_TRACE(Log::kHttpClient, 0, Log::Gbk(u8"上传失败：") << DescribeFailure(failure));
    Error.emit(2);
}

void WinINetPoster::Upload(Job& job) {
    HttpHeader header;
    header.SetCookie(job.cookie);
    // The content is read once, here rather than on the owner's thread, for its name and
    // for a boundary that occurs nowhere in it.
    BoundaryChoice boundary(header.GetBoundary());
    std::unique_ptr<UploadFileSource> file;
    uint32_t crc = 0;
    if (job.fromFile) {
        file.reset(new UploadFileSource(job.path));
        if (!file->Open() || !file->Scan(boundary)) return Fail(file->Failure(), job.cancel);
        job.length = file->Size();
        length_.store(job.length);
        crc = file->Crc();
    }
    const std::wstring fileName = job.fromFile
                                      ? UploadFileNameFromCrc(crc, job.extension)
                                      : UploadFileName(job.data.get(), job.length, job.extension);
    if (!job.fromFile) boundary.Feed(job.data.get(), static_cast<size_t>(job.length));
    boundary.Check(util::WideToAnsi(fileName));
    for (const auto& field : *job.fields) {
        boundary.Check(field.first);
        boundary.Check(field.second);
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        fileName_ = fileName;
    }
    const std::string chosen = boundary.Chosen();
    if (chosen.empty()) return Fail(TransferFailure::Of(TransferFailure::kNoBoundary), job.cancel);
    header.SetBoundary(chosen);

    // The file's bytes go out from the caller's buffer (or from disk) between the bytes
    // before and after them, so a large file is neither copied nor held twice.
    MultipartBody head;
    head.SetBoundary(chosen);
    head.AddFileHead("file", fileName);
    MultipartBody tail;
    tail.SetBoundary(chosen);
    tail.EndFile();
    for (const auto& field : *job.fields) tail.AddField(field.first, field.second);
    tail.End();

    HttpClient::BodyPiece content{job.data.get(), job.length};
    if (file) {
        UploadFileSource* source = file.get();
        content = HttpClient::BodyPiece{nullptr, job.length, [source](char* buffer, size_t n) {
                                            return source->Read(buffer, n);
                                        }};
    }

    int posted = 0;
    uint32_t status = 0;
    std::string response;
    std::string contentType;
    TransferFailure failure;
    {
        HttpClient client;
        client.Error.connect(this, &WinINetPoster::OnClientError);
        client.Sent.connect(this, &WinINetPoster::OnClientSent);
        client.SetHeaders(header.ToString());
        client.SetBodyPieces({{reinterpret_cast<const char*>(head.GetBuffer(false)), head.Size()},
                              content,
                              {reinterpret_cast<const char*>(tail.GetBuffer(false)), tail.Size()}});
        client.SetVerb("POST");
        client.SetCancelFlag(job.cancel);
        posted = client.Post(job.url, std::string(), kAgent);
        status = client.GetStatus();
        contentType = client.GetResponseHeader("Content-Type");
        response = client.GetResponse();
        failure = client.GetFailure();
    }
    // A file that changed while it went out is the cause of the stopped request.
    if (file && file->Failure().kind != TransferFailure::kNone) failure = file->Failure();

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
    if (posted) {
        failure = TransferFailure::Of(TransferFailure::kHttpStatus);
        failure.status = status;
    }
    Fail(failure, job.cancel);
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
