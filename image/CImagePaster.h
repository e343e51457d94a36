// The image paster behind the "ImgPst_" members: one clipboard image or image file uploaded at
// once, reported through the page's positional callbacks.
//
// Script calls run on the main thread. The poster's slots run on its worker and transport
// threads; they only record the outcome and post a call to the page's thread, which finds the
// paster again by its serial number, so a call that arrives after the paster is gone does
// nothing.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "Network/WinINetPoster.h"
#include "config/FormFields.h"
#include "image/ClipboardImages.h"
#include "image/CxMemFile.h"
#include "script/PageThread.h"
#include "script/ScriptObject.h"
#include "threading/sigslot.h"

class CImagePaster : public sigslot::has_slots<> {
  public:
    // The page's objects the paster keeps, one reference each.
    enum CallbackSlot { kOnComplete, kOnPost, kOnError, kOnConnected, kObject, kCallbackSlots };

    // The page's thread outlives the paster.
    explicit CImagePaster(script::PageThread& pageThread);
    ~CImagePaster() override;
    CImagePaster(const CImagePaster&) = delete;
    CImagePaster& operator=(const CImagePaster&) = delete;

    // Uploads the clipboard's bitmap, else its device-independent bitmap, else its first image
    // file. True when an upload was started; false when the first form offered cannot be
    // read, none is offered, or the previous upload still runs.
    bool Paste();
    bool IsBitmap() { return reader_.IsBitmap(); }
    bool IsFile() { return reader_.IsFile(); }
    // The collected paths (UTF-8) as a list for a script array, which empties the list; null
    // when nothing was collected.
    script::ScriptValue GetFiles();
    // A name already present keeps its first value.
    void AddField(const std::string& name, const std::string& value);
    // The server's answer to the last completed upload; empty while a bitmap uploads.
    std::string GetResponse() const;
    int32_t GetErrorCode() const;
    bool IsUploading() const { return poster_.IsBusy(); }

    // Asked before each upload starts, with the local file (empty for a clipboard picture) and
    // the bytes it would send; false refuses the upload, reported to the page as error 2.
    typedef std::function<bool(const std::wstring& path, int64_t bytes)> UploadCheck;
    void SetUploadCheck(UploadCheck check) { uploadCheck_ = std::move(check); }

    // Keeps the object and releases the one it replaces; null clears.
    void SetCallback(CallbackSlot slot, script::ObjectHandle object);
    const script::ObjectHandle& GetCallback(CallbackSlot slot) const { return callbacks_[slot]; }
    const FormFields& fields() const { return fields_; }

  private:
    bool PasteBitmap();
    bool PasteDib();
    bool PasteFile();
    bool PostBuffer(const boost::shared_array<char>& bytes, uint32_t count,
                    const std::wstring& extension);
    bool PostFile(const std::wstring& path);
    // Whether the upload check refuses; a refusal is reported as the error kRefusedCode.
    bool Refused(const std::wstring& path, int64_t bytes);
    static constexpr unsigned int kRefusedCode = 2;
    void ConfigurePoster();
    bool StartPost(const boost::shared_array<char>& bytes, uint32_t count,
                   const std::wstring& extension);

    // Slots of the poster (worker and transport threads).
    void OnComplete();
    void OnError(unsigned int code);
    void OnProgress(unsigned long bytes);
    void Schedule(void (*call)(void*));

    // The scheduled calls (main thread).
    static void CompleteCall(void* serial);
    static void ErrorCall(void* serial);
    static void ProgressCall(void* serial);
    static CImagePaster* FindLive(void* serial);
    // Calls the page object in `slot` with "ImgPst_Object" first, then `extra`. The paster
    // may be destroyed by the page during the call; nothing of it is touched afterwards.
    void CallPage(CallbackSlot slot, std::vector<script::ScriptValue> extra);

    script::PageThread& pageThread_;
    uint64_t serial_;
    script::ObjectHandle callbacks_[kCallbackSlots];

    // Written on the poster's threads, read on the main thread.
    mutable std::mutex stateMutex_;
    int32_t errorCode_ = 0;
    std::string response_;
    // Codes signalled but not yet reported, in order (headers failing gives 1, then 2).
    std::deque<int32_t> pendingErrors_;

    UploadCheck uploadCheck_;
    CxMemFile memFile_;
    FormFields fields_;
    ClipboardImageReader reader_;
    // Last: destroyed first, waiting for its worker while the rest is still intact.
    WinINetPoster poster_;
};
