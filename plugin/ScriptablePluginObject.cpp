#include "plugin/ScriptablePluginObject.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "plugin/BrowserFuncs.h"
#include "plugin/CPlugin.h"
#include "plugin/InstanceRegistry.h"

namespace {

ScriptablePluginObjectBase* Self(NPObject* object) {
    return static_cast<ScriptablePluginObjectBase*>(object);
}

NPObject* Allocate(NPP npp, NPClass*) {
    return new (std::nothrow) ScriptablePluginObject(npp);
}

void Deallocate(NPObject* object) {
    if (object) delete Self(object);
}

void Invalidate(NPObject* object) {
    if (object) Self(object)->Invalidate();
}

bool HasMethod(NPObject* object, NPIdentifier name) {
    return object && Self(object)->HasMethod(name);
}

bool Invoke(NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t argCount,
            NPVariant* result) {
    return object && Self(object)->Invoke(name, args, argCount, result);
}

bool InvokeDefault(NPObject* object, const NPVariant* args, uint32_t argCount, NPVariant* result) {
    return object && Self(object)->InvokeDefault(args, argCount, result);
}

bool HasProperty(NPObject* object, NPIdentifier name) {
    return object && Self(object)->HasProperty(name);
}

bool GetProperty(NPObject* object, NPIdentifier name, NPVariant* result) {
    return object && Self(object)->GetProperty(name, result);
}

bool SetProperty(NPObject* object, NPIdentifier name, const NPVariant* value) {
    return object && Self(object)->SetProperty(name, value);
}

bool RemoveProperty(NPObject* object, NPIdentifier name) {
    return object && Self(object)->RemoveProperty(name);
}

bool Enumerate(NPObject* object, NPIdentifier** names, uint32_t* count) {
    return object && Self(object)->Enumerate(names, count);
}

bool Construct(NPObject* object, const NPVariant* args, uint32_t argCount, NPVariant* result) {
    return object && Self(object)->Construct(args, argCount, result);
}

NPClass g_class = {NP_CLASS_STRUCT_VERSION,
                   Allocate,
                   Deallocate,
                   Invalidate,
                   HasMethod,
                   Invoke,
                   InvokeDefault,
                   HasProperty,
                   GetProperty,
                   SetProperty,
                   RemoveProperty,
                   Enumerate,
                   Construct};

const char kDefaultReturn[] = "default method return val";

}  // namespace

NPClass* ScriptablePluginObject::Class() {
    return &g_class;
}

bool ScriptablePluginObjectBase::SetProperty(NPIdentifier name, const NPVariant* value) {
    CPlugin* plugin = InstanceRegistry::Current();
    const ScriptHandler* handler = plugin ? plugin->FindProperty(name) : nullptr;
    if (!handler) return false;
    if (value) handler->Set(*plugin, *value);
    return true;
}

bool ScriptablePluginObject::HasMethod(NPIdentifier name) {
    CPlugin* plugin = InstanceRegistry::Current();
    return plugin && plugin->FindMethod(name);
}

bool ScriptablePluginObject::Invoke(NPIdentifier name, const NPVariant* args, uint32_t argCount,
                                    NPVariant* result) {
    CPlugin* plugin = InstanceRegistry::Current();
    const ScriptHandler* handler = plugin ? plugin->FindMethod(name) : nullptr;
    if (!handler) return false;
    handler->Invoke(*plugin, args, argCount, result);
    return true;
}

bool ScriptablePluginObject::InvokeDefault(const NPVariant*, uint32_t, NPVariant* result) {
    std::printf("ScriptablePluginObject default method called!\n");
    std::fflush(stdout);
    char* text = static_cast<char*>(NPN_MemAlloc(sizeof(kDefaultReturn)));
    if (!text) return false;
    std::memcpy(text, kDefaultReturn, sizeof(kDefaultReturn));
    STRINGN_TO_NPVARIANT(text, sizeof(kDefaultReturn) - 1, *result);
    return true;
}

bool ScriptablePluginObject::HasProperty(NPIdentifier name) {
    CPlugin* plugin = InstanceRegistry::Current();
    return plugin && plugin->FindProperty(name);
}

bool ScriptablePluginObject::GetProperty(NPIdentifier name, NPVariant* result) {
    CPlugin* plugin = InstanceRegistry::Current();
    const ScriptHandler* handler = plugin ? plugin->FindProperty(name) : nullptr;
    if (!handler) return false;
    handler->Get(*plugin, result);
    return true;
}
