#include "image/CImagePaster.h"

#include <map>

#include "Biz/Log.h"
#include "config/AppConfig.h"
#include "image/CxImage.h"
#include "image/ImageEncoding.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/kernel/Files.h"
#include "plugin/BrowserFuncs.h"
#include "plugin/ScriptValues.h"
#include "util/Numbers.h"

namespace {

// Live pasters by serial number. The serial, not a pointer, travels through the browser's
// main-thread calls, and nothing is allocated for them: a call the browser drops leaks nothing,
// and a call that runs after its paster is gone finds nothing.
std::mutex g_liveMutex;
std::map<uint64_t, CImagePaster*> g_live;
uint64_t g_nextSerial = 1;

const int32_t kBitmapJpegQuality = 100;

void* SerialToUserData(uint64_t serial) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(serial));
}

// A text argument in browser memory; freed by the caller after the call.
NPVariant TextArgument(const std::string& text) {
    NPVariant value;
    char* buffer = AllocScriptString(text);
    if (buffer)
        STRINGN_TO_NPVARIANT(buffer, static_cast<uint32_t>(text.size()), value);
    else
        NULL_TO_NPVARIANT(value);
    return value;
}

}  // namespace

CImagePaster::CImagePaster(NPP npp, NPObject* window)
    : npp_(npp), window_(window), fields_(MakeFormFields()) {
    {
        std::lock_guard<std::mutex> lock(g_liveMutex);
        serial_ = g_nextSerial++;
        g_live[serial_] = this;
    }
    poster_.Complete.connect(this, &CImagePaster::OnComplete);
    poster_.Error.connect(this, &CImagePaster::OnError);
    poster_.Progress.connect(this, &CImagePaster::OnProgress);
}

CImagePaster::~CImagePaster() {
    {
        std::lock_guard<std::mutex> lock(g_liveMutex);
        g_live.erase(serial_);
    }
    // After this no slot runs; the poster then stops and waits for its worker.
    disconnect_all();
    for (NPObject*& object : callbacks_) {
        if (object) NPN_ReleaseObject(object);
        object = nullptr;
    }
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

bool CImagePaster::PostBuffer(const boost::shared_array<char>& bytes, uint32_t count,
                              const std::wstring& extension) {
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        response_.clear();
    }
    return StartPost(bytes, count, extension);
}

bool CImagePaster::PostFile(const std::wstring& path) {
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

NPObject* CImagePaster::GetFiles() {
    const std::vector<std::string> collected = reader_.TakeCollectedFiles();
    std::list<std::string> paths(collected.begin(), collected.end());
    return MakeScriptArray(npp_, window_, paths);
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

void CImagePaster::SetCallback(CallbackSlot slot, NPObject* object) {
    if (slot < 0 || slot >= kCallbackSlots) return;
    if (object) NPN_RetainObject(object);
    NPObject* previous = callbacks_[slot];
    callbacks_[slot] = object;
    if (previous) NPN_ReleaseObject(previous);
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
    NPN_PluginThreadAsyncCall(npp_, call, SerialToUserData(serial_));
}

CImagePaster* CImagePaster::FindLive(void* serial) {
    std::lock_guard<std::mutex> lock(g_liveMutex);
    auto it = g_live.find(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(serial)));
    return it == g_live.end() ? nullptr : it->second;
}

void CImagePaster::CompleteCall(void* serial) {
    CImagePaster* paster = FindLive(serial);
    if (paster) paster->CallPage(kOnComplete, nullptr, 0);
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
    NPVariant argument;
    INT32_TO_NPVARIANT(code, argument);
    paster->CallPage(kOnError, &argument, 1);
}

void CImagePaster::ProgressCall(void* serial) {
    CImagePaster* paster = FindLive(serial);
    if (!paster || !paster->callbacks_[kOnPost]) return;
    // The figures as they stand now; several reports may show the same ones.
    const WinINetPoster& poster = paster->poster_;
    NPVariant arguments[4] = {TextArgument(util::IntToString(poster.GetSpeed())),
                              TextArgument(util::IntToString(poster.GetPosted())),
                              TextArgument(poster.GetPercent()),
                              TextArgument(poster.GetTimeLeft())};
    paster->CallPage(kOnPost, arguments, 4);
    // The browser does not take the argument buffers.
    for (NPVariant& argument : arguments) {
        if (NPVARIANT_IS_STRING(argument))
            NPN_MemFree(const_cast<NPUTF8*>(argument.value.stringValue.UTF8Characters));
    }
}

void CImagePaster::CallPage(CallbackSlot slot, const NPVariant* extra, uint32_t extraCount) {
    NPObject* callback = callbacks_[slot];
    if (!callback) return;
    // Our own references for the call: the page may overwrite the properties or destroy the
    // instance from inside it.
    NPP npp = npp_;
    NPN_RetainObject(callback);
    NPObject* object = callbacks_[kObject];
    if (object) NPN_RetainObject(object);

    const uint32_t count = extraCount < 4 ? extraCount : 4;
    NPVariant arguments[1 + 4];
    if (object)
        OBJECT_TO_NPVARIANT(object, arguments[0]);
    else
        NULL_TO_NPVARIANT(arguments[0]);
    for (uint32_t i = 0; i < count; ++i) arguments[1 + i] = extra[i];
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    if (NPN_InvokeDefault(npp, callback, arguments, 1 + count, &result))
        NPN_ReleaseVariantValue(&result);

    if (object) NPN_ReleaseObject(object);
    NPN_ReleaseObject(callback);
}
