#include "image/CImagePaster.h"

#include "Biz/Log.h"
#include "config/AppConfig.h"
#include "image/CxImage.h"
#include "image/ImageEncoding.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/kernel/Files.h"
#include "platform/kernel/Text.h"
#include "threading/LiveList.h"
#include "util/Numbers.h"

namespace {

// Live pasters by serial number. The serial, not a pointer, travels through the page thread's
// calls, and nothing is allocated for them: a call the binding drops leaks nothing, and a call
// that runs after its paster is gone finds nothing.
LiveList<CImagePaster>& LivePasters() {
    static LiveList<CImagePaster> live;
    return live;
}

const int32_t kBitmapJpegQuality = 100;

void* SerialToUserData(uint64_t serial) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(serial));
}

}  // namespace

CImagePaster::CImagePaster(script::PageThread& pageThread)
    : pageThread_(pageThread), fields_(MakeFormFields()) {
    serial_ = LivePasters().Add(this);
    poster_.Complete.connect(this, &CImagePaster::OnComplete);
    poster_.Error.connect(this, &CImagePaster::OnError);
    poster_.Progress.connect(this, &CImagePaster::OnProgress);
}

CImagePaster::~CImagePaster() {
    LivePasters().Remove(this);
    // After this no slot runs; the poster then stops and waits for its worker.
    disconnect_all();
    for (script::ObjectHandle& object : callbacks_) object.reset();
}

bool CImagePaster::Paste() {
    // One upload at a time: the poster's worker reads its state until it returns.
    if (poster_.IsBusy()) {
        QUILLON_TRACE(Log::kLog, 0, "ImgPst_Paste: the previous image is still uploading");
        return false;
    }
    // Only the first form offered is tried; one that cannot be read gives no result.
    const std::shared_ptr<platform::Clipboard> clipboard = platform::CurrentClipboard();
    if (clipboard->IsFormatAvailable(platform::kClipboardBitmap)) return PasteBitmap();
    if (clipboard->IsFormatAvailable(platform::kClipboardDib)) return PasteDib();
    if (clipboard->IsFormatAvailable(platform::kClipboardHdrop)) return PasteFile();
    return false;
}

bool CImagePaster::PasteBitmap() {
    const ImagePtr bitmap = ReadClipboardBitmap();
    if (!bitmap) return false;
    // A bitmap that cannot be encoded is still uploaded, as 0 bytes.
    const util::SharedBuffer jpeg = EncodeJpeg(bitmap, kBitmapJpegQuality);
    return PostBuffer(jpeg.data, jpeg.size, L".jpg");
}

bool CImagePaster::PasteDib() {
    CxImage image;
    if (!ReadClipboardDib(image) || !image.IsValid()) return false;
    memFile_.Close();
    memFile_.Open();
    AppConfig::Instance().EncodeDibAsJpeg(memFile_, image);
    const util::SharedBuffer jpeg = util::SharedBuffer::FromString(memFile_.Bytes());
    return PostBuffer(jpeg.data, jpeg.size, L".jpg");
}

bool CImagePaster::PasteFile() {
    std::wstring path;
    if (!FindClipboardImageFile(path)) return false;
    return PostFile(path);
}

bool CImagePaster::Refused(const std::wstring& path, int64_t bytes) {
    if (!uploadCheck_ || uploadCheck_(path, bytes)) return false;
    OnError(kRefusedCode);
    return true;
}

bool CImagePaster::PostBuffer(const boost::shared_array<char>& bytes, uint32_t count,
                              const std::wstring& extension) {
    if (Refused(std::wstring(), count)) return false;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        response_.clear();
    }
    return StartPost(bytes, count, extension);
}

bool CImagePaster::PostFile(const std::wstring& path) {
    if (Refused(path, util::FileSize(path))) return false;
    // The response keeps the previous answer until this upload completes. Files sent
    // unchanged go out from disk; so do files too large for a 32-bit count, which the poster
    // refuses with error 2 instead of sending them as 0 bytes.
    if (!IsConvertedForUpload(path) || util::FileSize(path) >= kMaxSourceFileBytes) {
        ConfigurePoster();
        try {
            return poster_.PostFile(path, UnchangedUploadExtension(path));
        } catch (const std::exception& e) {
            QUILLON_TRACE(Log::kLog, 0, "ImgPst_Paste: the upload could not start: " << e.what());
            return false;
        }
    }
    const EncodedImage prepared = PrepareUploadImage(path, 0, 0);
    return StartPost(prepared.bytes.data, prepared.bytes.size, prepared.extension);
}

void CImagePaster::ConfigurePoster() {
    // The paster's uploads carry no cookie and only its own fields.
    poster_.SetCookie(std::string());
    poster_.SetFields(fields_);
    poster_.SetPostUrl(AppConfig::Instance().postUrl);
}

bool CImagePaster::StartPost(const boost::shared_array<char>& bytes, uint32_t count,
                             const std::wstring& extension) {
    ConfigurePoster();
    try {
        return poster_.Post(bytes, static_cast<int32_t>(count), extension);
    } catch (const std::exception& e) {
        QUILLON_TRACE(Log::kLog, 0, "ImgPst_Paste: the upload could not start: " << e.what());
        return false;
    }
}

script::ScriptValue CImagePaster::GetFiles() {
    // The reader collects paths in the ANSI code page; pages get UTF-8.
    std::vector<std::string> paths = reader_.TakeCollectedFiles();
    if (paths.empty()) return script::ScriptValue::Null();
    for (std::string& path : paths) path = util::AnsiToUtf8(path);
    return script::ScriptValue::StringList(std::move(paths));
}

void CImagePaster::AddField(const std::string& name, const std::string& value) {
    fields_->insert(std::make_pair(name, value));
}

std::string CImagePaster::GetResponse() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return response_;
}

int32_t CImagePaster::GetErrorCode() const {
    std::lock_guard<std::mutex> lock(stateMutex_);
    return errorCode_;
}

void CImagePaster::SetCallback(CallbackSlot slot, script::ObjectHandle object) {
    if (slot < 0 || slot >= kCallbackSlots) return;
    // The previous object is released after the slot holds the new one.
    script::ObjectHandle previous = std::move(callbacks_[slot]);
    callbacks_[slot] = std::move(object);
}

void CImagePaster::OnComplete() {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        response_ = poster_.GetResponse();
    }
    Schedule(&CImagePaster::CompleteCall);
}

void CImagePaster::OnError(unsigned int code) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        errorCode_ = static_cast<int32_t>(code);
        pendingErrors_.push_back(errorCode_);
    }
    Schedule(&CImagePaster::ErrorCall);
}

void CImagePaster::OnProgress(unsigned long) {
    Schedule(&CImagePaster::ProgressCall);
}

void CImagePaster::Schedule(void (*call)(void*)) {
    pageThread_.PostCall(call, SerialToUserData(serial_));
}

CImagePaster* CImagePaster::FindLive(void* serial) {
    return LivePasters().Find(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(serial)));
}

void CImagePaster::CompleteCall(void* serial) {
    CImagePaster* paster = FindLive(serial);
    if (paster) paster->CallPage(kOnComplete, {});
}

void CImagePaster::ErrorCall(void* serial) {
    CImagePaster* paster = FindLive(serial);
    if (!paster) return;
    int32_t code;
    {
        std::lock_guard<std::mutex> lock(paster->stateMutex_);
        // Each call reports the code its own signal carried, so a header failure reaches the
        // page as 1 and then 2.
        code = paster->errorCode_;
        if (!paster->pendingErrors_.empty()) {
            code = paster->pendingErrors_.front();
            paster->pendingErrors_.pop_front();
        }
    }
    paster->CallPage(kOnError, {script::ScriptValue::Int32(code)});
}

void CImagePaster::ProgressCall(void* serial) {
    CImagePaster* paster = FindLive(serial);
    if (!paster || !paster->callbacks_[kOnPost]) return;
    // The figures as they stand now; several reports may show the same ones.
    const WinINetPoster& poster = paster->poster_;
    paster->CallPage(kOnPost, {script::ScriptValue::String(util::IntToString(poster.GetSpeed())),
                               script::ScriptValue::String(util::IntToString(poster.GetPosted())),
                               script::ScriptValue::String(poster.GetPercent()),
                               script::ScriptValue::String(poster.GetTimeLeft())});
}

void CImagePaster::CallPage(CallbackSlot slot, std::vector<script::ScriptValue> extra) {
    // Our own references for the call: the page may overwrite the properties or destroy the
    // instance from inside it.
    const script::ObjectHandle callback = callbacks_[slot];
    if (!callback) return;
    const script::ObjectHandle object = callbacks_[kObject];
    std::vector<script::ScriptValue> arguments;
    arguments.reserve(1 + extra.size());
    arguments.push_back(script::ScriptValue::Object(object));
    for (script::ScriptValue& value : extra) arguments.push_back(std::move(value));
    callback->Call(arguments);
}
