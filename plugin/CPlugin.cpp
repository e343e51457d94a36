#include "plugin/CPlugin.h"

#include <boost/bind/bind.hpp>

#include "Biz/Log.h"
#include "config/AppConfig.h"
#include "config/ConfigDocument.h"
#include "platform/kernel/GraphicsSession.h"
#include "plugin/BrowserFuncs.h"
#include "plugin/InstanceRegistry.h"
#include "plugin/ScriptValues.h"
#include "plugin/ScriptablePluginObject.h"
#include "plugin/Version.h"

CPlugin::CPlugin(NPP npp) : npp_(npp), eventQueue_(new MsgQueue()), alive_(new bool(true)) {
    serial_ = InstanceRegistry::Add(this);
    // The instance keeps its own reference to the page's window; the browser retained it
    // for us.
    NPObject* window = nullptr;
    if (NPN_GetValue(npp_, NPNVWindowNPObject, &window) == NPERR_NO_ERROR) window_object_ = window;
    RegisterMembers();
}

CPlugin::~CPlugin() {
    // No delivery and no post reaches this instance from here on.
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
    RegisterMethod("Init", boost::bind(&CPlugin::Init, this, _1, _2));
    RegisterProperty("Version", boost::bind(&CPlugin::Version, this, _1, _2));
    RegisterProperty("Debug", boost::bind(&CPlugin::Debug, this, _1, _2));
    RegisterProperty("LogFile", boost::bind(&CPlugin::LogFile, this, _1, _2));
    RegisterProperty("Session", boost::bind(&CPlugin::Session, this, _1, _2));
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
