#include "plugin/CPlugin.h"

#include <boost/algorithm/string/erase.hpp>
#include <boost/algorithm/string/predicate.hpp>
#include <boost/bind/bind.hpp>
#include <cstring>
#include <new>

#include "Network/WinINetPoster.h"
#include "Office/PasteEvent.h"
#include "Office/WordConverter.h"
#include "image/CImagePaster.h"
#include "image/ClipboardImages.h"
#include "image/CxImage.h"
#include "image/CxMemFile.h"
#include "image/ImageEncoding.h"
#include "image/PathNames.h"
#include "image/UploaderTable.h"
#include "platform/clipboard/Clipboard.h"
#include "plugin/EventText.h"
#include "plugin/Members.h"
#include "plugin/WordParser.h"
#include "util/CodePage.h"
#include "util/Numbers.h"

#include "Biz/Log.h"
#include "config/AppConfig.h"
#include "config/ConfigDocument.h"
#include "platform/kernel/GraphicsSession.h"
#include "plugin/BrowserFuncs.h"
#include "plugin/InstanceRegistry.h"
#include "plugin/ScriptValues.h"
#include "plugin/ScriptablePluginObject.h"
#include "plugin/Version.h"

CPlugin::CPlugin(NPP npp)
    : npp_(npp),
      uploaders_(new UploaderTable()),
      converter_(new WordConverter()),
      memFile_(new CxMemFile()),
      poster_(new WinINetPoster()),
      eventQueue_(new MsgQueue()),
      alive_(new bool(true)) {
    serial_ = InstanceRegistry::Add(this);
    // The instance keeps its own reference to the page's window; the browser retained it
    // for us.
    NPObject* window = nullptr;
    if (NPN_GetValue(npp_, NPNVWindowNPObject, &window) == NPERR_NO_ERROR) window_object_ = window;
    imagePaster_.reset(new CImagePaster(npp_, window_object_));
    wordParser_.reset(new WordParser(npp_));
    RegisterMembers();
    poster_->Complete.connect(this, &CPlugin::OnPostComplete);
    poster_->Error.connect(this, &CPlugin::OnPostError);
    poster_->Progress.connect(this, &CPlugin::OnPostProgress);
}

CPlugin::~CPlugin() {
    // No delivery, post or poster slot reaches this instance from here on.
    *alive_ = false;
    InstanceRegistry::Remove(this);
    disconnect_all();
    if (window_object_) NPN_ReleaseObject(window_object_);
    window_object_ = nullptr;
    if (scriptObject_) NPN_ReleaseObject(scriptObject_);
    scriptObject_ = nullptr;
    if (eventCallback_) NPN_ReleaseObject(eventCallback_);
    eventCallback_ = nullptr;
    eventQueue_.reset();
    // The poster stops and waits for its worker; then the rest, in this order.
    poster_.reset();
    memFile_.reset();
    converter_.reset();
    imagePaster_.reset();
    wordParser_.reset();
    properties_.clear();
    methods_.clear();
    uploaders_.reset();
}

bool CPlugin::AttachWindow(NPWindow* window) {
    if (!window) return false;
    if (!graphicsToken_) graphicsToken_ = platform::StartGraphics();
    window_ = window;
    attached_ = true;
    return true;
}

void CPlugin::DetachWindow() {
    // Only a session that was started is shut down.
    if (graphicsToken_) platform::StopGraphics(graphicsToken_);
    graphicsToken_ = 0;
    attached_ = false;
}

int16_t CPlugin::HandleEvent(void*) {
    return 0;
}

NPObject* CPlugin::GetScriptObject() {
    if (!scriptObject_) scriptObject_ = NPN_CreateObject(npp_, ScriptablePluginObject::Class());
    if (scriptObject_) NPN_RetainObject(scriptObject_);
    return scriptObject_;
}

void CPlugin::RegisterMethod(const char* name, const ScriptHandler& handler) {
    NPIdentifier id = NPN_GetStringIdentifier(name);
    if (id) methods_.insert(std::make_pair(id, handler));
}

void CPlugin::RegisterProperty(const char* name, const ScriptHandler& handler) {
    NPIdentifier id = NPN_GetStringIdentifier(name);
    if (id) properties_.insert(std::make_pair(id, handler));
}

const ScriptHandler* CPlugin::FindMethod(NPIdentifier name) const {
    auto it = methods_.find(name);
    return it == methods_.end() ? nullptr : &it->second;
}

const ScriptHandler* CPlugin::FindProperty(NPIdentifier name) const {
    auto it = properties_.find(name);
    return it == properties_.end() ? nullptr : &it->second;
}

void CPlugin::RegisterMembers() {
    using boost::placeholders::_1;
    using boost::placeholders::_2;
    // Methods, then properties, in the order of the script interface.
    RegisterWordParserMethods(*this, *wordParser_);
    RegisterImagePasterMethods(*this, *imagePaster_);
    RegisterFileUploaderMethods(*this, *uploaders_);
    RegisterMethod("Init", boost::bind(&CPlugin::Init, this, _1, _2));
    RegisterMethod("HasData", boost::bind(&CPlugin::HasDataMember, this, _1, _2));
    RegisterMethod("Paste", boost::bind(&CPlugin::PasteMember, this, _1, _2));
    RegisterProperty("Version", boost::bind(&CPlugin::Version, this, _1, _2));
    RegisterProperty("Debug", boost::bind(&CPlugin::Debug, this, _1, _2));
    RegisterProperty("LogFile", boost::bind(&CPlugin::LogFile, this, _1, _2));
    RegisterProperty("Session", boost::bind(&CPlugin::Session, this, _1, _2));
    RegisterWordParserProperties(*this, *wordParser_);
    RegisterImagePasterProperties(*this, *imagePaster_);
    RegisterProperty("StateChanged", boost::bind(&CPlugin::StateChanged, this, _1, _2));
}

void CPlugin::PostEvent(const std::string& text) {
    InstanceRegistry::PostEvent(serial_, text);
}

void CPlugin::DeliverEvents() {
    // Copies keep the queue and the liveness flag valid even if the page destroys this
    // instance from inside its callback; `this` is only touched while it is alive.
    boost::shared_ptr<MsgQueue> queue = eventQueue_;
    boost::shared_ptr<bool> alive = alive_;
    queue->Process([this, alive](const MsgQueue::Entry& text) {
        if (!*alive || !eventCallback_ || !text) return;  // dropped
        const std::string upToNul = text->substr(0, text->find('\0'));
        char* buffer = AllocScriptString(upToNul);
        if (!buffer) return;
        NPVariant argument;
        STRINGN_TO_NPVARIANT(buffer, static_cast<uint32_t>(upToNul.size()), argument);
        NPVariant result;
        VOID_TO_NPVARIANT(result);
        NPObject* callback = NPN_RetainObject(eventCallback_);
        if (NPN_InvokeDefault(npp_, callback, &argument, 1, &result))
            NPN_ReleaseVariantValue(&result);
        NPN_ReleaseObject(callback);
        // The browser does not take the argument's buffer.
        NPN_MemFree(buffer);
    });
}

NPObject* CPlugin::windowObject() const {
    return window_object_;
}

void CPlugin::Version(const NPVariant*, NPVariant* out) {
    if (out) SetStringResult(kScriptVersion, out);
}

void CPlugin::Init(const NPVariant* args, NPVariant*) {
    std::string error;
    if (!config::ApplyInitDocument(ToStdString(&args[0]), error))
        QUILLON_TRACE(Log::kLog, 0, "Init: " << error);
}

void CPlugin::Session(const NPVariant* in, NPVariant*) {
    if (in) AppConfig::Instance().session = ToStdString(in);
}

void CPlugin::Debug(const NPVariant* in, NPVariant*) {
    if (in) debug_ = ToBool(in);
}

void CPlugin::LogFile(const NPVariant* in, NPVariant*) {
    if (!in) return;
    logFilePath_ = ToStdString(in);
    Log::Instance().Start(debug_, logFilePath_);
}

void CPlugin::StateChanged(const NPVariant* in, NPVariant*) {
    if (!in) return;
    NPObject* callback = ToObject(in);
    if (eventCallback_) NPN_ReleaseObject(eventCallback_);
    eventCallback_ = callback;
}

void CPlugin::HasDataMember(const NPVariant*, NPVariant* out) {
    SetBoolResult(HasData(), out);
}

void CPlugin::PasteMember(const NPVariant*, NPVariant*) {
    Paste();
}

bool CPlugin::HasData() {
    std::shared_ptr<platform::Clipboard> clipboard = platform::CurrentClipboard();
    return clipboard->IsFormatAvailable(platform::kClipboardBitmap) ||
           clipboard->IsFormatAvailable(platform::kClipboardDib) ||
           clipboard->IsFormatAvailable(platform::kClipboardHdrop) || converter_->HasHtml();
}

void CPlugin::Paste() {
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

bool CPlugin::PasteBitmap() {
    ImagePtr bitmap = ReadClipboardBitmap();
    if (!bitmap) return false;
    util::SharedBuffer jpeg = EncodeJpeg(bitmap, 100);
    StartImageUpload(jpeg.data, jpeg.size, L".jpg");
    return true;
}

void CPlugin::PasteDib() {
    CxImage image;
    if (!ReadClipboardDib(image) || !image.IsValid()) return;
    memFile_->Close();
    memFile_->Open();
    AppConfig::Instance().EncodeDibAsJpeg(*memFile_, image);
    util::SharedBuffer jpeg = util::SharedBuffer::FromString(memFile_->Bytes());
    StartImageUpload(jpeg.data, jpeg.size, L".jpg");
}

void CPlugin::PasteFiles() {
    const std::vector<std::wstring> files = FindClipboardImageFiles();
    if (files.empty()) return;
    Json::Value event(Json::objectValue);
    event["name"] = "Parser_PasteFiles";
    for (const std::wstring& path : files) {
        Json::Value img(Json::objectValue);
        img["src"] = util::WideToUtf8(path);
        img["name"] = util::WideToUtf8(FindPathFileName(path));
        img["ext"] = util::WideToUtf8(boost::algorithm::erase_all_copy(ExtensionOf(path), L"."));
        event["imgs"].append(img);
    }
    PostEvent(WriteEventText(event));
}

void CPlugin::PasteWord() {
    const Json::Value event = PasteWordEvent(*converter_);
    try {
        PostEvent(WriteEventText(event));
    } catch (const std::bad_alloc&) {
        // No room for the event text: the event of an empty conversion.
        Json::Value empty(Json::objectValue);
        empty["name"] = event["name"];
        empty["word"] = "";
        PostEvent(WriteEventText(empty));
    }
}

void CPlugin::StartImageUpload(const boost::shared_array<char>& bytes, uint32_t size,
                               const std::wstring& extension) {
    // One upload at a time: a paste while the previous bitmap still uploads is refused
    // rather than run over the running upload's state.
    if (poster_->IsBusy()) {
        QUILLON_TRACE(Log::kLog, 0, "Paste: the previous image is still uploading");
        return;
    }
    PostEvent(kPasteImageEventText);
    const AppConfig& config = AppConfig::Instance();
    poster_->SetCookie(config.session);
    poster_->SetFields(SnapshotFormFields(config.fields));
    poster_->SetPostUrl(config.postUrl);
    try {
        poster_->Post(bytes, static_cast<int32_t>(size), extension);
    } catch (const std::exception& e) {
        QUILLON_TRACE(Log::kLog, 0, "Paste: the upload could not start: " << e.what());
    }
}

void CPlugin::OnPostComplete() {
    Json::Value event(Json::objectValue);
    event["name"] = "Parser_PostComplete";
    event["value"] = poster_->GetResponse();
    PostEvent(WriteEventText(event));
}

void CPlugin::OnPostError(unsigned int code) {
    Json::Value event(Json::objectValue);
    event["name"] = "Parser_PostError";
    event["value"] = Json::UInt(code);
    PostEvent(WriteEventText(event));
}

void CPlugin::OnPostProgress(unsigned long) {
    Json::Value event(Json::objectValue);
    event["name"] = "Parser_PostProcess";
    event["time"] = poster_->GetTimeLeft();
    event["len"] = util::IntToString(poster_->GetPosted());
    event["percent"] = poster_->GetPercent();
    event["speed"] = util::IntToString(poster_->GetSpeed());
    PostEvent(WriteEventText(event));
}
