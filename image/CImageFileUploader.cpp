#include "image/CImageFileUploader.h"

#include <json/value.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>

#include "Biz/Log.h"
#include "config/AppConfig.h"
#include "config/ConfigDocument.h"
#include "events/PageEvents.h"
#include "image/ImageEncoding.h"
#include "image/PathNames.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Text.h"
#include "threading/Worker.h"
#include "util/Numbers.h"

namespace {

// Downloaded bytes wait this long before their upload starts.
const int kUploadDelayMs = 200;

std::atomic<int> g_liveEntries{0};

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z');
}

bool IsSchemeChar(wchar_t c) {
    return IsAsciiLetter(c) || (c >= L'0' && c <= L'9') || c == L'+' || c == L'-' || c == L'.';
}

// The text before the first "?" or "#": what follows is no part of a name.
std::wstring WithoutQuery(const std::wstring& text) {
    return text.substr(0, text.find_first_of(L"?#"));
}

}  // namespace

bool IsWebAddress(const std::wstring& source) {
    const size_t colon = source.find(L"://");
    if (colon == std::wstring::npos || colon < 2 || !IsAsciiLetter(source[0])) return false;
    for (size_t i = 1; i < colon; ++i)
        if (!IsSchemeChar(source[i])) return false;
    return true;
}

std::wstring DownloadedExtension(const std::wstring& fileName, const std::wstring& address) {
    std::wstring extension = ExtensionOf(WithoutQuery(fileName));
    if (!extension.empty()) return extension;
    // The address's path only: its host ("example.com") must not pass for an extension.
    std::wstring path = WithoutQuery(address);
    const size_t scheme = path.find(L"://");
    const size_t slash = path.find(L'/', scheme == std::wstring::npos ? 0 : scheme + 3);
    if (slash == std::wstring::npos) return std::wstring();
    return ExtensionOf(path.substr(slash));
}

// Shared by the entry and its delay threads: a delay thread starts the upload only while the
// entry is alive, under the mutex that Retire takes to cut it off.
struct CImageFileUploader::Liveness {
    std::mutex mutex;
    std::condition_variable retired;
    CImageFileUploader* owner = nullptr;
};

CImageFileUploader::CImageFileUploader(int32_t tableId, script::EventSink& events)
    : events_(events), tableId_(tableId), liveness_(std::make_shared<Liveness>()) {
    liveness_->owner = this;
    downer_.Complete.connect(this, &CImageFileUploader::OnDownloaded);
    downer_.Error.connect(this, &CImageFileUploader::OnDownloadError);
    poster_.Complete.connect(this, &CImageFileUploader::OnPostComplete);
    poster_.Error.connect(this, &CImageFileUploader::OnPostError);
    poster_.Progress.connect(this, &CImageFileUploader::OnPostProgress);
}

CImageFileUploader::LiveCounter::LiveCounter() {
    ++g_liveEntries;
}

CImageFileUploader::LiveCounter::~LiveCounter() {
    --g_liveEntries;
}

CImageFileUploader::~CImageFileUploader() {
    Retire();
    // Waits for a slot under way; none runs afterwards. Then the members' destructors wait
    // for the workers, which have been asked to stop.
    disconnect_all();
}

int CImageFileUploader::LiveCount() {
    return g_liveEntries.load();
}

void CImageFileUploader::Retire() {
    if (retired_.exchange(true)) return;
    {
        std::lock_guard<std::mutex> lock(liveness_->mutex);
        liveness_->owner = nullptr;
    }
    liveness_->retired.notify_all();
    downer_.Stop();
    poster_.Stop();
    for (script::ObjectHandle& object : scriptObjects_) object.reset();
}

void CImageFileUploader::SetLocalFile(const std::wstring& source) {
    source_ = source;
    if (IsWebAddress(source)) return;
    const int64_t size = util::FileSize(source);
    sourceSize_ =
        static_cast<int32_t>(std::min<int64_t>(size, std::numeric_limits<int32_t>::max()));
}

bool CImageFileUploader::ApplyDocument(const std::string& text) {
    Json::Value root;
    if (!config::ParseDocument(text, root)) return false;
    std::string error;
    if (root.isMember("fields") && !config::AddFields(root["fields"], *fields_, error)) {
        QUILLON_TRACE(Log::kLog, 0, "FileUploader_Init: " << error);
        return false;
    }
    if (!root.isMember("config")) return true;
    config::UploaderConfig read;
    if (!config::ReadUploaderConfig(root["config"], read, error)) {
        QUILLON_TRACE(Log::kLog, 0, "FileUploader_Init: " << error);
        return false;
    }
    AppConfig& app = AppConfig::Instance();
    app.postUrl = read.postUrl;
    source_ = util::Utf8ToWide(read.pathLoc);
    reportedId_.store(read.idLoc);
    app.logFile = read.logFile;
    if (read.debug && !read.logFile.empty()) Log::Instance().Start(read.debug, read.logFile);
    cookie_ = read.cookie;
    width_ = read.width;
    height_ = read.height;
    thumbWidth_ = read.thumbWidth;
    thumbHeight_ = read.thumbHeight;
    return true;
}

void CImageFileUploader::AddField(const std::string& name, const std::string& value) {
    (*fields_)[name] = value;
}

void CImageFileUploader::SetThumbSize(int32_t width, int32_t height) {
    thumbWidth_ = width;
    thumbHeight_ = height;
}

void CImageFileUploader::SetScriptObject(ScriptObjectSlot slot, script::ObjectHandle object) {
    if (slot < 0 || slot >= kScriptObjectSlots) return;
    scriptObjects_[slot] = std::move(object);
}

bool CImageFileUploader::Validate() const {
    if (AppConfig::Instance().postUrl.empty()) return false;
    if (source_.empty()) return false;
    return sourceSize_ <= AppConfig::Instance().maxFileSize;
}

bool CImageFileUploader::IsBusy() const {
    return phase_.load() != kIdle || poster_.IsBusy();
}

CImageFileUploader::UploadSettings CImageFileUploader::TakeSettings() const {
    UploadSettings settings;
    settings.postUrl = AppConfig::Instance().postUrl;
    settings.cookie = cookie_;
    settings.fields = SnapshotFormFields(fields_);
    return settings;
}

bool CImageFileUploader::Post() {
    if (retired_.load() || !Validate() || IsBusy()) return false;
    const UploadSettings settings = TakeSettings();
    if (IsWebAddress(source_)) {
        downloadSettings_ = settings;
        downloadAddress_ = source_;
        phase_.store(kDownloading);
        int64_t limit = AppConfig::Instance().maxFileSize;
        if (downloadLimit_ >= 0) limit = std::min(limit, downloadLimit_);
        downer_.SetMaxLength(limit);
        try {
            if (downer_.Download(util::WideToUtf8(source_))) return true;
        } catch (const std::exception&) {
        }
        phase_.store(kIdle);
        return false;
    }
    // Files sent unchanged go out from disk, read on the poster's worker; so do files too
    // large for a 32-bit count, which the poster refuses with error 2 before reading them.
    // Pictures that are re-encoded are prepared here, on the calling thread. An unreadable
    // file gives 0 bytes either way.
    if (!IsConvertedForUpload(source_) || util::FileSize(source_) >= kMaxSourceFileBytes) {
        ConfigurePoster(settings);
        try {
            return poster_.PostFile(source_, UnchangedUploadExtension(source_));
        } catch (const std::exception&) {
            return false;  // no thread for the upload
        }
    }
    const EncodedImage image = PrepareUploadImage(source_, width_, height_);
    return StartUpload(settings, image.bytes.data, static_cast<int32_t>(image.bytes.size),
                       image.extension);
}

void CImageFileUploader::ConfigurePoster(const UploadSettings& settings) {
    poster_.SetCookie(settings.cookie);
    poster_.SetFields(settings.fields);
    poster_.SetPostUrl(settings.postUrl);
}

bool CImageFileUploader::StartUpload(const UploadSettings& settings,
                                     const boost::shared_array<char>& bytes, int32_t length,
                                     const std::wstring& extension) {
    ConfigurePoster(settings);
    try {
        return poster_.Post(bytes, length, extension);
    } catch (const std::exception&) {
        return false;  // no thread for the upload
    }
}

void CImageFileUploader::Stop() {
    poster_.Stop();
}

std::string CImageFileUploader::GetResponse() const {
    return poster_.GetResponse();
}

void CImageFileUploader::OnDownloaded() {
    uint32_t length = 0;
    downloadedData_ = downer_.GetData(length);
    downloadedLength_ = static_cast<int32_t>(
        std::min<uint32_t>(length, static_cast<uint32_t>(std::numeric_limits<int32_t>::max())));
    downloadedFileName_ = downer_.GetFileName();
    const std::wstring extension = DownloadedExtension(downloadedFileName_, downloadAddress_);

    phase_.store(kWaiting);
    // The delay thread holds the liveness token, never the entry itself.
    std::shared_ptr<Liveness> token = liveness_;
    const UploadSettings settings = downloadSettings_;
    const boost::shared_array<char> bytes = downloadedData_;
    const int32_t count = downloadedLength_;
    try {
        Korvane::Threading::StartDetachedWorker([token, settings, bytes, count, extension] {
            std::unique_lock<std::mutex> lock(token->mutex);
            token->retired.wait_for(lock, std::chrono::milliseconds(kUploadDelayMs),
                                    [&token] { return token->owner == nullptr; });
            if (token->owner) token->owner->PostDownloaded(settings, bytes, count, extension);
        });
    } catch (const std::exception&) {
        phase_.store(kIdle);  // no thread for the delay: the job ends here
    }
}

void CImageFileUploader::PostDownloaded(const UploadSettings& settings,
                                        const boost::shared_array<char>& bytes, int32_t length,
                                        const std::wstring& extension) {
    // The downloaded bytes go out unchanged.
    StartUpload(settings, bytes, length, extension);
    phase_.store(kIdle);
}

void CImageFileUploader::OnDownloadError(unsigned int code) {
    // Idle before the page hears of it, so that it may post again at once.
    phase_.store(kIdle);
    if (retired_.load()) return;
    events_.PostEvent(FireDownErrorEventText(reportedId_.load(), code));
}

void CImageFileUploader::OnPostComplete() {
    if (retired_.load()) return;
    events_.PostEvent(FilePostCompleteEventText(reportedId_.load(), poster_.GetResponse()));
}

void CImageFileUploader::OnPostError(unsigned int code) {
    if (retired_.load()) return;
    events_.PostEvent(FilePostErrorEventText(reportedId_.load(), code));
}

void CImageFileUploader::OnPostProgress(unsigned long) {
    if (retired_.load()) return;
    events_.PostEvent(FilePostProcessEventText(reportedId_.load(), poster_.GetPosted(),
                                               poster_.GetPercent(), poster_.GetSpeed(),
                                               poster_.GetTimeLeft()));
}
