// One upload entry: a local file or a web address, prepared and uploaded by its own poster,
// reported to the page as JSON events ("File_PostProcess", "File_PostComplete",
// "File_PostError", "Fire_DownError") posted to the entry's event sink from whatever thread the
// transport signals on.
//
// One job at a time: Post is refused while the entry downloads, waits to upload downloaded
// bytes, or uploads. The upload address, cookie and a copy of the form fields are taken when
// Post starts, so later changes on the main thread never reach a running job.
//
// Lifetime: the delay thread between a download and its upload holds only a liveness token,
// never the entry. Retire() (main thread) cuts the entry off from the page: it releases the
// script objects, stops the workers and silences further events; the destructor, which may
// then run on any thread, waits for the workers to return.
#pragma once

#include <atomic>
#include <boost/shared_array.hpp>
#include <cstdint>
#include <memory>
#include <string>

#include "Network/WinINetDowner.h"
#include "Network/WinINetPoster.h"
#include "config/FormFields.h"
#include "script/EventSink.h"
#include "script/ScriptObject.h"
#include "threading/sigslot.h"

// A web address: a scheme of two or more letters, digits, "+", "-" or "." starting with a
// letter, followed by "://" (http, https, ftp, file...). A drive path such as "C:\a" or
// "C://a" is not one.
bool IsWebAddress(const std::wstring& source);

// The extension (with its dot) to send with downloaded bytes: that of the downloader's file
// name, else that of the address; a query or fragment never counts as part of it.
std::wstring DownloadedExtension(const std::wstring& fileName, const std::wstring& address);

class CImageFileUploader : public sigslot::has_slots<> {
  public:
    // Script objects the page hands over; kept (one reference each) and never called.
    enum ScriptObjectSlot {
        kOnComplete,
        kOnPost,
        kOnError,
        kOnConnected,
        kObject,
        kStateChanged,
        kScriptObjectSlots
    };

    // The sink outlives the entry.
    CImageFileUploader(int32_t tableId, script::EventSink& events);
    ~CImageFileUploader() override;
    CImageFileUploader(const CImageFileUploader&) = delete;
    CImageFileUploader& operator=(const CImageFileUploader&) = delete;

    // Main thread: releases the script objects, stops the workers, silences the events and
    // keeps any pending delayed upload from starting. Idempotent; the destructor calls it.
    void Retire();

    // Stores the source; for a local path also its size (0 when it cannot be opened, at most
    // 2^31 - 1 so that huge files stay over the limit).
    void SetLocalFile(const std::wstring& source);
    // A "FileUploader_Init" document: "fields" (existing names keep their values), then
    // "config" when present. False when the text is not a JSON object or a member failed;
    // a failing "config" object applies none of its keys.
    bool ApplyDocument(const std::string& text);
    // Inserts the field or replaces the value of the field with that name.
    void AddField(const std::string& name, const std::string& value);
    void SetWidth(int32_t width) { width_ = width; }
    void SetHeight(int32_t height) { height_ = height; }
    void SetThumbSize(int32_t width, int32_t height);
    // Keeps the object (may be null), releasing the one held before.
    void SetScriptObject(ScriptObjectSlot slot, script::ObjectHandle object);
    // For the next download of a web source: asked before each redirect is followed (on the
    // download's worker); a refused one fails the download (Fire_DownError 12).
    void SetRedirectCheck(WinINetDowner::RedirectCheck check) {
        downer_.SetRedirectCheck(std::move(check));
    }
    // A download limit below the configured maximum file size; negative: none.
    void SetDownloadLimit(int64_t bytes) { downloadLimit_ = bytes; }

    // The checks before an upload: an upload address, a source, a size within the maximum.
    bool Validate() const;
    // Starts one job (download first for a web address); false when refused or not started.
    bool Post();
    // Stops the running upload; it then ends without an event.
    void Stop();
    // The server's answer to the last successful upload; empty before one.
    std::string GetResponse() const;
    // Whether a download, the delay after it or an upload is under way.
    bool IsBusy() const;

    int32_t tableId() const { return tableId_; }
    int32_t reportedId() const { return reportedId_.load(); }
    const std::wstring& source() const { return source_; }
    int32_t sourceSize() const { return sourceSize_; }
    const std::string& cookie() const { return cookie_; }
    int32_t width() const { return width_; }
    int32_t height() const { return height_; }
    int32_t thumbWidth() const { return thumbWidth_; }
    int32_t thumbHeight() const { return thumbHeight_; }
    const script::ObjectHandle& scriptObject(ScriptObjectSlot slot) const {
        return scriptObjects_[slot];
    }
    FormFieldMap fields() const { return *fields_; }

    // Entries constructed and not yet completely destroyed (their workers returned),
    // process-wide; for shutdown checks.
    static int LiveCount();

  private:
    struct Liveness;
    struct UploadSettings {
        std::string postUrl;
        std::string cookie;
        FormFields fields;
    };
    enum Phase { kIdle, kDownloading, kWaiting };

    UploadSettings TakeSettings() const;
    void ConfigurePoster(const UploadSettings& settings);
    bool StartUpload(const UploadSettings& settings, const boost::shared_array<char>& bytes,
                     int32_t length, const std::wstring& extension);
    void PostDownloaded(const UploadSettings& settings, const boost::shared_array<char>& bytes,
                        int32_t length, const std::wstring& extension);

    // Slots; they run on the transport's threads.
    void OnDownloaded();
    void OnDownloadError(unsigned int code);
    void OnPostComplete();
    void OnPostError(unsigned int code);
    void OnPostProgress(unsigned long bytes);

    // Counts the entry as live until every other member, workers included, is gone.
    struct LiveCounter {
        LiveCounter();
        ~LiveCounter();
    } liveCounter_;
    script::EventSink& events_;
    script::ObjectHandle scriptObjects_[kScriptObjectSlots];
    std::wstring source_;
    std::string cookie_;
    std::atomic<int32_t> reportedId_{0};
    int32_t tableId_;
    int32_t sourceSize_ = 0;
    int32_t width_ = 0;
    int32_t height_ = 0;
    int32_t thumbWidth_ = 0;
    int32_t thumbHeight_ = 0;
    int64_t downloadLimit_ = -1;
    FormFields fields_ = MakeFormFields();

    // The job under way: written on the main thread before the download starts, read by the
    // download slots; the phase hands it over.
    std::atomic<int> phase_{kIdle};
    std::atomic<bool> retired_{false};
    UploadSettings downloadSettings_;
    std::wstring downloadAddress_;
    boost::shared_array<char> downloadedData_;
    int32_t downloadedLength_ = 0;
    std::wstring downloadedFileName_;
    std::shared_ptr<Liveness> liveness_;

    // Destroyed first: both wait for their workers.
    WinINetDowner downer_;
    WinINetPoster poster_;
};
