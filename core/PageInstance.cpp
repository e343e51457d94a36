#include "core/PageInstance.h"

#include <boost/algorithm/string/erase.hpp>
#include <cstdio>
#include <new>

#include "Biz/Log.h"
#include "Network/WinINetPoster.h"
#include "Office/WordConverter.h"
#include "config/AppConfig.h"
#include "core/PageInstances.h"
#include "core/PastedFiles.h"
#include "core/UploadRule.h"
#include "core/WordParser.h"
#include "events/PageEvents.h"
#include "image/CImagePaster.h"
#include "image/ClipboardImages.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "image/ImageEncoding.h"
#include "image/PathNames.h"
#include "image/UploaderTable.h"
#include "platform/clipboard/Clipboard.h"
#include "platform/kernel/Text.h"

PageInstance::PageInstance(script::PageThread& pageThread)
    : pageThread_(pageThread),
      uploaders_(new UploaderTable(PageInstances::CurrentPageEvents())),
      converter_(new WordConverter()),
      memFile_(new CxMemFile()),
      poster_(new WinINetPoster()),
      eventQueue_(new MsgQueue()),
      alive_(new bool(true)) {
    serial_ = PageInstances::Add(this);
    imagePaster_.reset(new CImagePaster(pageThread_));
    wordParser_.reset(new WordParser());
    poster_->Complete.connect(this, &PageInstance::OnPostComplete);
    poster_->Error.connect(this, &PageInstance::OnPostError);
    poster_->Progress.connect(this, &PageInstance::OnPostProgress);
}

PageInstance::~PageInstance() {
    // No delivery, post or poster slot reaches this instance from here on.
    *alive_ = false;
    PageInstances::Remove(this);
    disconnect_all();
    eventCallback_.reset();
    eventQueue_.reset();
    // The poster stops and waits for its worker; then the rest, in this order.
    poster_.reset();
    memFile_.reset();
    converter_.reset();
    imagePaster_.reset();
    wordParser_.reset();
    uploaders_.reset();
}

void PageInstance::PostEvent(std::string text) {
    PageInstances::PostEvent(serial_, std::move(text));
}

void PageInstance::DeliverEvents() {
    // Copies keep the queue and the liveness flag valid even if the page destroys this
    // instance from inside its callback; `this` is only touched while it is alive.
    boost::shared_ptr<MsgQueue> queue = eventQueue_;
    boost::shared_ptr<bool> alive = alive_;
    queue->Process([this, alive](const MsgQueue::Entry& text) {
        if (!*alive || !eventCallback_ || !text) return;  // dropped
        const script::ObjectHandle callback = eventCallback_;
        // The page sees the text up to a zero byte; without one, the queued text itself.
        if (text->find('\0') == std::string::npos)
            callback->Call({script::ScriptValue::SharedString(
                std::shared_ptr<const std::string>(text.get(), [text](const std::string*) {}))});
        else
            callback->Call({script::StringResult(*text)});
    });
}

void PageInstance::SetLogFile(const std::string& path) {
    logFilePath_ = path;
    Log::Instance().Start(debug_, logFilePath_);
}

void PageInstance::ApplyPolicy(config::Policy rules, const std::string& pageOrigin) {
    policy_ = PagePolicy(std::move(rules), pageOrigin);
    if (policy_.rules().pastedFilesOnly) {
        if (!pastedFiles_) pastedFiles_.reset(new PastedFiles());
    } else {
        pastedFiles_.reset();
    }
    imagePaster_->SetUploadCheck(
        [this](const std::wstring& path, int64_t bytes) { return MayPasterUpload(path, bytes); });
    if (!policy_.PageAllowed()) {
        const std::string text = policy_.PageRefusal();
        std::fprintf(stderr, "%s\n", text.c_str());
        QUILLON_TRACE(Log::kLog, 0, text);
    }
}

bool PageInstance::MayPasterUpload(const std::wstring& path, int64_t bytes) const {
    const std::string postUrl = AppConfig::Instance().postUrl;
    if (!policy_.MayReach(postUrl)) {
        policy_.LogRefusal("ImgPst_Paste's upload to " + postUrl, "\"upload_origins\"");
        return false;
    }
    if (!policy_.WithinSize(bytes)) {
        policy_.LogRefusal("ImgPst_Paste's upload of " + std::to_string(bytes) + " bytes",
                           "\"max_upload_bytes\"");
        return false;
    }
    // The file the clipboard lists is the paste itself; it must still be a picture, since a
    // page may have written the list.
    if (!path.empty() && policy_.rules().pastedFilesOnly && !IsUploadablePicture(path)) {
        policy_.LogRefusal(
            "ImgPst_Paste's upload of \"" + util::WideToUtf8(path) + "\" (not a picture)",
            "\"local_files\": \"pasted\"");
        return false;
    }
    return true;
}

bool PageInstance::HasData() {
    std::shared_ptr<platform::Clipboard> clipboard = platform::CurrentClipboard();
    return clipboard->IsFormatAvailable(platform::kClipboardBitmap) ||
           clipboard->IsFormatAvailable(platform::kClipboardDib) ||
           clipboard->IsFormatAvailable(platform::kClipboardHdrop) || converter_->HasHtml();
}

void PageInstance::Paste() {
    std::shared_ptr<platform::Clipboard> clipboard = platform::CurrentClipboard();
    if (clipboard->IsFormatAvailable(platform::kClipboardBitmap)) {
        if (PasteBitmap()) return;
        // A bitmap that cannot be fetched falls back to the HTML.
    } else if (clipboard->IsFormatAvailable(platform::kClipboardDib)) {
        PasteDib();
        return;
    } else if (clipboard->IsFormatAvailable(platform::kClipboardHdrop)) {
        PasteFiles();
        return;
    }
    if (converter_->HasHtml()) PasteWord();
}

bool PageInstance::PasteBitmap() {
    ImagePtr bitmap = ReadClipboardBitmap();
    if (!bitmap) return false;
    StartImageUpload(EncodeJpeg(bitmap, 100), L".jpg");
    return true;
}

void PageInstance::PasteDib() {
    CxImage image;
    if (!ReadClipboardDib(image) || !image.IsValid()) return;
    memFile_->Close();
    memFile_->Open();
    AppConfig::Instance().EncodeDibAsJpeg(*memFile_, image);
    StartImageUpload(util::SharedBuffer::FromString(memFile_->Bytes()), L".jpg");
}

void PageInstance::PasteFiles() {
    const std::vector<std::wstring> files = FindClipboardImageFiles();
    if (files.empty()) return;
    std::vector<PastedFile> pasted;
    for (const std::wstring& path : files) {
        pasted.push_back(PastedFile{
            util::WideToUtf8(path), util::WideToUtf8(FindPathFileName(path)),
            util::WideToUtf8(boost::algorithm::erase_all_copy(ExtensionOf(path), L"."))});
    }
    if (pastedFiles_) {
        for (const PastedFile& file : pasted) pastedFiles_->Add(file.src);
    }
    PostEvent(PasteFilesEventText(pasted));
}

void PageInstance::PasteWord() {
    PostPasteWordEvent(*converter_, *this);
    if (pastedFiles_) pastedFiles_->AddPictures(converter_->Images());
}

void PageInstance::StartImageUpload(const util::SharedBuffer& jpeg, const std::wstring& extension) {
    // One upload at a time: a paste while the previous bitmap still uploads is refused
    // rather than run over the running upload's state.
    if (poster_->IsBusy()) {
        QUILLON_TRACE(Log::kLog, 0, "Paste: the previous image is still uploading");
        return;
    }
    const AppConfig& config = AppConfig::Instance();
    if (!policy_.MayReach(config.postUrl) || !policy_.WithinSize(static_cast<int64_t>(jpeg.size))) {
        const bool reach = policy_.MayReach(config.postUrl);
        policy_.LogRefusal(reach ? "Paste's upload of " + std::to_string(jpeg.size) + " bytes"
                                 : "Paste's upload to " + config.postUrl,
                           reach ? "\"max_upload_bytes\"" : "\"upload_origins\"");
        PostEvent(PostErrorEventText(kRefusedUploadCode));
        return;
    }
    PostEvent(kPasteImageEventText);
    poster_->SetCookie(config.session);
    poster_->SetFields(SnapshotFormFields(config.fields));
    poster_->SetPostUrl(config.postUrl);
    try {
        poster_->Post(jpeg.data, static_cast<int32_t>(jpeg.size), extension);
    } catch (const std::exception& e) {
        QUILLON_TRACE(Log::kLog, 0, "Paste: the upload could not start: " << e.what());
    }
}

void PageInstance::OnPostComplete() {
    PostEvent(PostCompleteEventText(poster_->GetResponse()));
}

void PageInstance::OnPostError(unsigned int code) {
    PostEvent(PostErrorEventText(code));
}

void PageInstance::OnPostProgress(unsigned long) {
    PostEvent(PostProcessEventText(poster_->GetTimeLeft(), poster_->GetPosted(),
                                   poster_->GetPercent(), poster_->GetSpeed()));
}
