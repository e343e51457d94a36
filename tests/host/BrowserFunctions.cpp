// The browser function table handed to the module. Every function checks what a browser would
// check (live objects, known identifiers and instances, the main thread) and records misuse
// instead of crashing, so that a test can assert there was none.
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "HostRegistry.h"

namespace testhost::detail {

Registry& GetRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

bool OnMainThreadLocked(const Registry& registry) {
    return registry.generation == 0 || std::this_thread::get_id() == registry.main_thread;
}

void NoteLocked(Registry& registry, const std::string& what) {
    if (registry.generation != 0) registry.violations.push_back(what);
}

void RequireMainThreadLocked(Registry& registry, const char* function) {
    if (!OnMainThreadLocked(registry))
        NoteLocked(registry, std::string(function) + " called off the main thread");
}

void NoteViolation(const std::string& what) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    NoteLocked(r, what);
}

const IdentifierRecord* LookupIdentifier(NPIdentifier identifier) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    if (r.valid_ids.count(identifier) == 0) return nullptr;
    return static_cast<const IdentifierRecord*>(identifier);
}

namespace {

std::string Pointer(const void* p) {
    std::ostringstream out;
    out << p;
    return out.str();
}

// The object's class when it is alive and has one; records a violation otherwise.
NPClass* LiveClass(NPObject* object, const char* function) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    RequireMainThreadLocked(r, function);
    if (object == nullptr || r.objects.count(object) == 0) {
        NoteLocked(r,
                   std::string(function) + " on an object that is not alive: " + Pointer(object));
        return nullptr;
    }
    return object->_class;
}

bool KnownIdentifier(NPIdentifier identifier, const char* function) {
    if (LookupIdentifier(identifier) != nullptr) return true;
    NoteViolation(std::string(function) + " with an unknown identifier " + Pointer(identifier));
    return false;
}

void Deallocate(NPObject* object) {
    if (object->_class != nullptr && object->_class->deallocate != nullptr)
        object->_class->deallocate(object);
    else
        std::free(object);
}

NPError GetValue(NPP npp, NPNVariable variable, void* result) {
    Registry& r = GetRegistry();
    std::unique_lock<std::mutex> lock(r.mu);
    RequireMainThreadLocked(r, "NPN_GetValue");
    if (result == nullptr) return NPERR_INVALID_PARAM;
    switch (variable) {
        case NPNVWindowNPObject: {
            if (r.live_instances.count(npp) == 0) {
                NoteLocked(r, "NPN_GetValue(NPNVWindowNPObject) for an instance not alive");
                return NPERR_INVALID_INSTANCE_ERROR;
            }
            NPObject* window = r.window;
            lock.unlock();
            *static_cast<NPObject**>(result) = RetainObject(window);
            return window != nullptr ? NPERR_NO_ERROR : NPERR_GENERIC_ERROR;
        }
        case NPNVjavascriptEnabledBool:
        case NPNVSupportsWindowless:
            *static_cast<NPBool*>(result) = true;
            return NPERR_NO_ERROR;
        case NPNVSupportsXEmbedBool:
        case NPNVisOfflineBool:
            *static_cast<NPBool*>(result) = false;
            return NPERR_NO_ERROR;
        default:
            return NPERR_GENERIC_ERROR;
    }
}

NPError SetValue(NPP npp, NPPVariable variable, void* value) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    RequireMainThreadLocked(r, "NPN_SetValue");
    if (r.known_instances.count(npp) == 0) {
        NoteLocked(r, "NPN_SetValue for an unknown instance");
        return NPERR_INVALID_INSTANCE_ERROR;
    }
    r.set_values.push_back(SetValueRecord{npp, variable, value});
    return NPERR_NO_ERROR;
}

void GetStringIdentifiers(const NPUTF8** names, int32_t count, NPIdentifier* identifiers) {
    if (count < 0 || (count > 0 && (names == nullptr || identifiers == nullptr))) {
        NoteViolation("NPN_GetStringIdentifiers with bad arguments");
        return;
    }
    for (int32_t i = 0; i < count; ++i) identifiers[i] = GetStringIdentifier(names[i]);
}

bool IdentifierIsString(NPIdentifier identifier) {
    const IdentifierRecord* record = LookupIdentifier(identifier);
    if (record == nullptr) NoteViolation("NPN_IdentifierIsString with an unknown identifier");
    return record != nullptr && record->is_string;
}

NPUTF8* UTF8FromIdentifier(NPIdentifier identifier) {
    const IdentifierRecord* record = LookupIdentifier(identifier);
    if (record == nullptr) {
        NoteViolation("NPN_UTF8FromIdentifier with an unknown identifier");
        return nullptr;
    }
    if (!record->is_string) return nullptr;
    // The caller owns the copy and frees it with NPN_MemFree.
    char* copy = static_cast<char*>(MemAlloc(static_cast<uint32_t>(record->name.size() + 1)));
    if (copy != nullptr) std::memcpy(copy, record->name.c_str(), record->name.size() + 1);
    return copy;
}

int32_t IntFromIdentifier(NPIdentifier identifier) {
    const IdentifierRecord* record = LookupIdentifier(identifier);
    if (record == nullptr) NoteViolation("NPN_IntFromIdentifier with an unknown identifier");
    return record != nullptr && !record->is_string ? record->number : INT32_MIN;
}

bool Invoke(NPP, NPObject* object, NPIdentifier name, const NPVariant* args, uint32_t count,
            NPVariant* result) {
    NPClass* cls = LiveClass(object, "NPN_Invoke");
    if (cls == nullptr || cls->invoke == nullptr || result == nullptr ||
        !KnownIdentifier(name, "NPN_Invoke"))
        return false;
    VOID_TO_NPVARIANT(*result);
    return cls->invoke(object, name, args, count, result);
}

bool InvokeDefault(NPP, NPObject* object, const NPVariant* args, uint32_t count,
                   NPVariant* result) {
    NPClass* cls = LiveClass(object, "NPN_InvokeDefault");
    if (cls == nullptr || cls->invokeDefault == nullptr || result == nullptr) return false;
    VOID_TO_NPVARIANT(*result);
    return cls->invokeDefault(object, args, count, result);
}

bool GetProperty(NPP, NPObject* object, NPIdentifier name, NPVariant* result) {
    NPClass* cls = LiveClass(object, "NPN_GetProperty");
    if (cls == nullptr || cls->getProperty == nullptr || result == nullptr ||
        !KnownIdentifier(name, "NPN_GetProperty"))
        return false;
    VOID_TO_NPVARIANT(*result);
    return cls->getProperty(object, name, result);
}

bool SetProperty(NPP, NPObject* object, NPIdentifier name, const NPVariant* value) {
    NPClass* cls = LiveClass(object, "NPN_SetProperty");
    if (cls == nullptr || cls->setProperty == nullptr || value == nullptr ||
        !KnownIdentifier(name, "NPN_SetProperty"))
        return false;
    return cls->setProperty(object, name, value);
}

bool RemoveProperty(NPP, NPObject* object, NPIdentifier name) {
    NPClass* cls = LiveClass(object, "NPN_RemoveProperty");
    if (cls == nullptr || cls->removeProperty == nullptr ||
        !KnownIdentifier(name, "NPN_RemoveProperty"))
        return false;
    return cls->removeProperty(object, name);
}

bool HasProperty(NPP, NPObject* object, NPIdentifier name) {
    NPClass* cls = LiveClass(object, "NPN_HasProperty");
    return cls != nullptr && cls->hasProperty != nullptr &&
           KnownIdentifier(name, "NPN_HasProperty") && cls->hasProperty(object, name);
}

bool HasMethod(NPP, NPObject* object, NPIdentifier name) {
    NPClass* cls = LiveClass(object, "NPN_HasMethod");
    return cls != nullptr && cls->hasMethod != nullptr && KnownIdentifier(name, "NPN_HasMethod") &&
           cls->hasMethod(object, name);
}

bool Enumerate(NPP, NPObject* object, NPIdentifier** identifiers, uint32_t* count) {
    NPClass* cls = LiveClass(object, "NPN_Enumerate");
    if (cls == nullptr || identifiers == nullptr || count == nullptr) return false;
    if (cls->structVersion < 2 || cls->enumerate == nullptr) {
        *identifiers = nullptr;
        *count = 0;
        return true;
    }
    return cls->enumerate(object, identifiers, count);
}

bool Construct(NPP, NPObject* object, const NPVariant* args, uint32_t count, NPVariant* result) {
    NPClass* cls = LiveClass(object, "NPN_Construct");
    if (cls == nullptr || cls->structVersion < 2 || cls->construct == nullptr || result == nullptr)
        return false;
    VOID_TO_NPVARIANT(*result);
    return cls->construct(object, args, count, result);
}

void SetException(NPObject* object, const NPUTF8* message) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    RequireMainThreadLocked(r, "NPN_SetException");
    if (r.generation != 0)
        r.exceptions.push_back(ExceptionRecord{object, message != nullptr ? message : ""});
}

void PluginThreadAsyncCall(NPP npp, void (*func)(void*), void* data) {
    Registry& r = GetRegistry();
    {
        std::lock_guard<std::mutex> lock(r.mu);
        if (r.generation == 0) return;  // no page any more: nothing will run it
        if (func == nullptr) {
            NoteLocked(r, "NPN_PluginThreadAsyncCall with a null function");
            return;
        }
        r.queue.push_back(AsyncCall{npp, func, data});
    }
    r.queued.notify_all();
}

NPNetscapeFuncs MakeTable() {
    NPNetscapeFuncs table{};
    table.size = sizeof(NPNetscapeFuncs);
    table.version = (NP_VERSION_MAJOR << 8) | NP_VERSION_MINOR;
    table.memalloc = &MemAlloc;
    table.memfree = &MemFree;
    table.getvalue = &GetValue;
    table.setvalue = &SetValue;
    table.getstringidentifier = &GetStringIdentifier;
    table.getstringidentifiers = &GetStringIdentifiers;
    table.getintidentifier = &GetIntIdentifier;
    table.identifierisstring = &IdentifierIsString;
    table.utf8fromidentifier = &UTF8FromIdentifier;
    table.intfromidentifier = &IntFromIdentifier;
    table.createobject = &CreateObject;
    table.retainobject = &RetainObject;
    table.releaseobject = &ReleaseObject;
    table.invoke = &Invoke;
    table.invokeDefault = &InvokeDefault;
    table.getproperty = &GetProperty;
    table.setproperty = &SetProperty;
    table.removeproperty = &RemoveProperty;
    table.hasproperty = &HasProperty;
    table.hasmethod = &HasMethod;
    table.releasevariantvalue = &ReleaseVariantValue;
    table.setexception = &SetException;
    table.enumerate = &Enumerate;
    table.pluginthreadasynccall = &PluginThreadAsyncCall;
    table.construct = &Construct;
    return table;
}

}  // namespace

void* MemAlloc(uint32_t size) {
    void* block = std::malloc(size != 0 ? size : 1);
    if (block == nullptr) return nullptr;
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    r.allocations[block] = r.generation;
    if (r.generation != 0) {
        ++r.total_allocations;
        if (!OnMainThreadLocked(r)) ++r.off_main_allocations;
    }
    return block;
}

void MemFree(void* block) {
    if (block == nullptr) return;
    Registry& r = GetRegistry();
    {
        std::lock_guard<std::mutex> lock(r.mu);
        if (r.allocations.erase(block) == 0) {
            // Not ours (a browser-owned argument string, a static, or a double free): freeing it
            // would corrupt memory, so it is only recorded.
            NoteLocked(r, "NPN_MemFree of a block NPN_MemAlloc did not give: " + Pointer(block));
            return;
        }
    }
    std::free(block);
}

NPObject* CreateObject(NPP npp, NPClass* cls) {
    if (cls == nullptr) {
        NoteViolation("NPN_CreateObject with a null class");
        return nullptr;
    }
    NPObject* object = cls->allocate != nullptr
                           ? cls->allocate(npp, cls)
                           : static_cast<NPObject*>(std::malloc(sizeof(NPObject)));
    if (object == nullptr) return nullptr;
    object->_class = cls;
    object->referenceCount = 1;
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    RequireMainThreadLocked(r, "NPN_CreateObject");
    r.objects[object] = ObjectRecord{r.generation};
    return object;
}

NPObject* RetainObject(NPObject* object) {
    if (object == nullptr) return nullptr;
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    RequireMainThreadLocked(r, "NPN_RetainObject");
    if (r.objects.count(object) == 0)
        NoteLocked(r, "NPN_RetainObject of an object that is not alive: " + Pointer(object));
    else
        ++object->referenceCount;
    return object;
}

void ReleaseObject(NPObject* object) {
    if (object == nullptr) return;
    Registry& r = GetRegistry();
    {
        std::lock_guard<std::mutex> lock(r.mu);
        RequireMainThreadLocked(r, "NPN_ReleaseObject");
        auto it = r.objects.find(object);
        if (it == r.objects.end()) {
            NoteLocked(r, "NPN_ReleaseObject of an object that is not alive: " + Pointer(object));
            return;
        }
        if (--object->referenceCount != 0) return;
        r.objects.erase(it);
    }
    // Outside the lock: the class may release the objects it holds.
    Deallocate(object);
}

void ReleaseVariantValue(NPVariant* variant) {
    if (variant == nullptr) return;
    if (variant->type == NPVariantType_String)
        MemFree(const_cast<NPUTF8*>(variant->value.stringValue.UTF8Characters));
    else if (variant->type == NPVariantType_Object)
        ReleaseObject(variant->value.objectValue);
    VOID_TO_NPVARIANT(*variant);
}

NPIdentifier GetStringIdentifier(const NPUTF8* name) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    RequireMainThreadLocked(r, "NPN_GetStringIdentifier");
    if (name == nullptr) {
        NoteLocked(r, "NPN_GetStringIdentifier with a null name");
        return nullptr;
    }
    std::unique_ptr<IdentifierRecord>& slot = r.string_ids[name];
    if (!slot) {
        slot.reset(new IdentifierRecord{true, name, 0});
        r.valid_ids.insert(slot.get());
    }
    return slot.get();
}

NPIdentifier GetIntIdentifier(int32_t number) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    RequireMainThreadLocked(r, "NPN_GetIntIdentifier");
    std::unique_ptr<IdentifierRecord>& slot = r.int_ids[number];
    if (!slot) {
        slot.reset(new IdentifierRecord{false, std::string(), number});
        r.valid_ids.insert(slot.get());
    }
    return slot.get();
}

}  // namespace testhost::detail

namespace testhost {

NPNetscapeFuncs* TestHost::BrowserFunctions() {
    static NPNetscapeFuncs table = detail::MakeTable();
    return &table;
}

}  // namespace testhost
