// A minimal NPAPI module for the host's own tests: one scriptable object per instance with a
// method "Echo", a method "Fire" that raises events from a worker thread, a read-only property
// "Version" and a write-only property "Callback" that receives the events.
#include <cstring>
#include <string>
#include <thread>

#include "plugin/npapi.h"

namespace {

NPNetscapeFuncs* g_browser = nullptr;

struct MiniObject : NPObject {
    NPP npp = nullptr;
    NPObject* callback = nullptr;
};

struct InstanceData {
    NPObject* window = nullptr;
    NPObject* script = nullptr;
};

struct Event {
    MiniObject* target;
    int number;
};

bool Is(NPIdentifier id, const char* name) {
    NPUTF8* text = g_browser->utf8fromidentifier(id);
    bool same = text != nullptr && std::strcmp(text, name) == 0;
    g_browser->memfree(text);
    return same;
}

void SetString(const std::string& text, NPVariant* result) {
    char* copy = static_cast<char*>(g_browser->memalloc(static_cast<uint32_t>(text.size())));
    std::memcpy(copy, text.data(), text.size());
    STRINGN_TO_NPVARIANT(copy, static_cast<uint32_t>(text.size()), *result);
}

void Deliver(void* data) {
    Event* event = static_cast<Event*>(data);
    if (event->target->callback != nullptr) {
        NPVariant args[2];
        std::string text = "event " + std::to_string(event->number);
        STRINGN_TO_NPVARIANT(text.data(), static_cast<uint32_t>(text.size()), args[0]);
        INT32_TO_NPVARIANT(event->number, args[1]);
        NPVariant result;
        if (g_browser->invokeDefault(event->target->npp, event->target->callback, args, 2, &result))
            g_browser->releasevariantvalue(&result);
    }
    delete event;
}

NPObject* Allocate(NPP npp, NPClass*) {
    MiniObject* object = new MiniObject;
    object->npp = npp;
    return object;
}

void Deallocate(NPObject* object) {
    MiniObject* mini = static_cast<MiniObject*>(object);
    if (mini->callback != nullptr) g_browser->releaseobject(mini->callback);
    delete mini;
}

bool HasMethod(NPObject*, NPIdentifier name) {
    return Is(name, "Echo") || Is(name, "Fire");
}

bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
            NPVariant* result) {
    MiniObject* mini = static_cast<MiniObject*>(object);
    if (Is(name, "Echo") && count == 1 && NPVARIANT_IS_STRING(args[0])) {
        SetString(std::string(args[0].value.stringValue.UTF8Characters,
                              args[0].value.stringValue.UTF8Length),
                  result);
        return true;
    }
    if (Is(name, "Fire") && count == 1 && args[0].type == NPVariantType_Int32) {
        // Events come from a worker, as uploads report theirs.
        int events = args[0].value.intValue;
        NPP npp = mini->npp;
        std::thread worker([mini, npp, events] {
            for (int i = 0; i < events; ++i)
                g_browser->pluginthreadasynccall(npp, &Deliver, new Event{mini, i});
        });
        worker.join();
        return true;
    }
    return false;
}

bool InvokeDefault(NPObject*, const NPVariant*, uint32_t, NPVariant* result) {
    SetString("default", result);
    return true;
}

bool HasProperty(NPObject*, NPIdentifier name) {
    return Is(name, "Version") || Is(name, "Callback");
}

bool GetProperty(NPObject*, NPIdentifier name, NPVariant* result) {
    if (!Is(name, "Version")) return false;
    SetString("1.0", result);
    return true;
}

bool SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
    if (!Is(name, "Callback") || !NPVARIANT_IS_OBJECT(*value)) return false;
    MiniObject* mini = static_cast<MiniObject*>(object);
    if (mini->callback != nullptr) g_browser->releaseobject(mini->callback);
    mini->callback = g_browser->retainobject(value->value.objectValue);
    return true;
}

NPClass g_class = {NP_CLASS_STRUCT_VERSION,
                   &Allocate,
                   &Deallocate,
                   nullptr,
                   &HasMethod,
                   &Invoke,
                   &InvokeDefault,
                   &HasProperty,
                   &GetProperty,
                   &SetProperty,
                   nullptr,
                   nullptr,
                   nullptr};

NPError New(NPMIMEType, NPP instance, uint16_t, int16_t, char*[], char*[], NPSavedData*) {
    InstanceData* data = new InstanceData;
    g_browser->getvalue(instance, NPNVWindowNPObject, &data->window);
    g_browser->setvalue(instance, NPPVpluginWindowBool, nullptr);
    instance->pdata = data;
    return NPERR_NO_ERROR;
}

NPError Destroy(NPP instance, NPSavedData**) {
    InstanceData* data = static_cast<InstanceData*>(instance->pdata);
    if (data == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
    g_browser->releaseobject(data->window);
    if (data->script != nullptr) g_browser->releaseobject(data->script);
    delete data;
    instance->pdata = nullptr;
    return NPERR_NO_ERROR;
}

NPError SetWindow(NPP instance, NPWindow* window) {
    return instance->pdata != nullptr && window != nullptr ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
}

NPError GetValue(NPP instance, NPPVariable variable, void* value) {
    InstanceData* data = static_cast<InstanceData*>(instance->pdata);
    if (data == nullptr || variable != NPPVpluginScriptableNPObject) return NPERR_GENERIC_ERROR;
    if (data->script == nullptr) data->script = g_browser->createobject(instance, &g_class);
    *static_cast<NPObject**>(value) = g_browser->retainobject(data->script);
    return NPERR_NO_ERROR;
}

void Fill(NPPluginFuncs* funcs) {
    funcs->version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    funcs->newp = &New;
    funcs->destroy = &Destroy;
    funcs->setwindow = &SetWindow;
    funcs->getvalue = &GetValue;
}

}  // namespace

NP_EXPORT(NPError) NP_GetEntryPoints(NPPluginFuncs* funcs) {
    if (funcs == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    Fill(funcs);
    return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) NP_Initialize(NPNetscapeFuncs* browser, NPPluginFuncs* funcs) {
    if (browser == nullptr) return NPERR_INVALID_FUNCTABLE_ERROR;
    if ((browser->version >> 8) > NP_VERSION_MAJOR) return NPERR_INCOMPATIBLE_VERSION_ERROR;
    g_browser = browser;
    if (funcs != nullptr) Fill(funcs);
    return NPERR_NO_ERROR;
}

NP_EXPORT(NPError) NP_Shutdown() {
    return NPERR_NO_ERROR;
}

NP_EXPORT(const char*) NP_GetMIMEDescription() {
    return "application/x-mini::Mini module";
}

NP_EXPORT(NPError) NP_GetValue(void*, NPPVariable variable, void* value) {
    if (variable != NPPVpluginNameString || value == nullptr) return NPERR_GENERIC_ERROR;
    *static_cast<const char**>(value) = "Mini";
    return NPERR_NO_ERROR;
}
