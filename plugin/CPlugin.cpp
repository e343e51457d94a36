#include "plugin/CPlugin.h"

#include "config/PolicySource.h"
#include "core/MemberTable.h"
#include "core/PageInstance.h"
#include "platform/kernel/GraphicsSession.h"
#include "plugin/BrowserFuncs.h"
#include "plugin/InstanceRegistry.h"
#include "plugin/ScriptablePluginObject.h"

CPlugin::CPlugin(NPP npp) : npp_(npp) {
    serial_ = InstanceRegistry::Add(this);
    // The instance keeps its own reference to the page's window; the browser retained it
    // for us.
    NPObject* window = nullptr;
    if (NPN_GetValue(npp_, NPNVWindowNPObject, &window) == NPERR_NO_ERROR) window_object_ = window;
    page_.reset(new PageInstance(*this));
    // The policy once per instance, for the origin the browser reports for the page's window
    // (its location), before the page can call a member.
    page_->ApplyPolicy(config::LoadPolicy(config::PluginDefaults()),
                       config::OriginOf(PageLocation()));
    RegisterMembers();
}

std::string CPlugin::PageLocation() const {
    if (!window_object_) return std::string();
    std::string href;
    NPVariant location;
    VOID_TO_NPVARIANT(location);
    if (!NPN_GetProperty(npp_, window_object_, NPN_GetStringIdentifier("location"), &location))
        return href;
    if (NPVARIANT_IS_OBJECT(location) && location.value.objectValue) {
        NPVariant text;
        VOID_TO_NPVARIANT(text);
        if (NPN_GetProperty(npp_, location.value.objectValue, NPN_GetStringIdentifier("href"),
                            &text)) {
            if (NPVARIANT_IS_STRING(text) && text.value.stringValue.UTF8Characters)
                href.assign(text.value.stringValue.UTF8Characters,
                            text.value.stringValue.UTF8Length);
            NPN_ReleaseVariantValue(&text);
        }
    }
    NPN_ReleaseVariantValue(&location);
    return href;
}

CPlugin::~CPlugin() {
    // No dispatch reaches this instance from here on; the core instance stops its transfers.
    InstanceRegistry::Remove(this);
    page_.reset();
    if (window_object_) NPN_ReleaseObject(window_object_);
    window_object_ = nullptr;
    if (scriptObject_) NPN_ReleaseObject(scriptObject_);
    scriptObject_ = nullptr;
    properties_.clear();
    methods_.clear();
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

void CPlugin::RegisterMembers() {
    // Identifiers are asked for in the interface's registration order.
    for (const script::Member& member : script::MemberTable()) {
        NPIdentifier id = NPN_GetStringIdentifier(member.name);
        if (!id) continue;
        ScriptRegistry& registry =
            member.kind == script::MemberKind::kMethod ? methods_ : properties_;
        registry.insert(std::make_pair(id, ScriptHandler(member)));
    }
}

const ScriptHandler* CPlugin::FindMethod(NPIdentifier name) const {
    auto it = methods_.find(name);
    return it == methods_.end() ? nullptr : &it->second;
}

const ScriptHandler* CPlugin::FindProperty(NPIdentifier name) const {
    auto it = properties_.find(name);
    return it == properties_.end() ? nullptr : &it->second;
}

void CPlugin::PostEvent(const std::string& text) {
    page_->PostEvent(text);
}

void CPlugin::DeliverEvents() {
    page_->DeliverEvents();
}

void CPlugin::PostCall(void (*call)(void*), void* data) {
    NPN_PluginThreadAsyncCall(npp_, call, data);
}

const boost::shared_ptr<MsgQueue>& CPlugin::eventQueue() const {
    return page_->eventQueue();
}

bool CPlugin::HasData() {
    return page_->HasData();
}

void CPlugin::Paste() {
    page_->Paste();
}
