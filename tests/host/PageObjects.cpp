#include "PageObjects.h"

#include "HostRegistry.h"

namespace testhost::detail {

namespace {

bool IsName(NPIdentifier identifier, const char* name) {
    const IdentifierRecord* record = LookupIdentifier(identifier);
    return record != nullptr && record->is_string && record->name == name;
}

PageObject* Cast(NPObject* object) {
    return static_cast<PageObject*>(object);
}

template <typename T>
NPObject* Allocate(NPP, NPClass*) {
    return new T;
}

void Deallocate(NPObject* object) {
    delete Cast(object);
}

bool HasMethodEntry(NPObject* o, NPIdentifier name) {
    return Cast(o)->HasMethod(name);
}
bool InvokeEntry(NPObject* o, NPIdentifier name, const NPVariant* args, uint32_t count,
                 NPVariant* result) {
    return Cast(o)->Invoke(name, args, count, result);
}
bool InvokeDefaultEntry(NPObject* o, const NPVariant* args, uint32_t count, NPVariant* result) {
    return Cast(o)->InvokeDefault(args, count, result);
}
bool HasPropertyEntry(NPObject* o, NPIdentifier name) {
    return Cast(o)->HasProperty(name);
}
bool GetPropertyEntry(NPObject* o, NPIdentifier name, NPVariant* result) {
    return Cast(o)->GetProperty(name, result);
}
bool SetPropertyEntry(NPObject*, NPIdentifier, const NPVariant*) {
    return false;
}
bool RemovePropertyEntry(NPObject*, NPIdentifier) {
    return false;
}

template <typename T>
NPClass MakeClass() {
    return NPClass{NP_CLASS_STRUCT_VERSION,
                   &Allocate<T>,
                   &Deallocate,
                   nullptr,
                   &HasMethodEntry,
                   &InvokeEntry,
                   &InvokeDefaultEntry,
                   &HasPropertyEntry,
                   &GetPropertyEntry,
                   &SetPropertyEntry,
                   &RemovePropertyEntry,
                   nullptr,
                   nullptr};
}

std::vector<Value> CopyArgs(const NPVariant* args, uint32_t count) {
    std::vector<Value> copies;
    for (uint32_t i = 0; i < count; ++i) copies.push_back(Value::CopyOf(args[i]));
    return copies;
}

void NoteIfOffMainThread(const char* what) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    RequireMainThreadLocked(r, what);
}

}  // namespace

NPClass kWindowClass = MakeClass<WindowObject>();
NPClass kArrayClass = MakeClass<ArrayObject>();
NPClass kFunctionClass = MakeClass<FunctionObject>();
NPClass kLocationClass = MakeClass<LocationObject>();

ArrayObject* AsArray(NPObject* object) {
    if (object == nullptr || object->_class != &kArrayClass) return nullptr;
    return static_cast<ArrayObject*>(Cast(object));
}

FunctionObject* AsFunction(NPObject* object) {
    if (object == nullptr || object->_class != &kFunctionClass) return nullptr;
    return static_cast<FunctionObject*>(Cast(object));
}

bool WindowObject::HasMethod(NPIdentifier name) {
    return IsName(name, "Array");
}

bool WindowObject::Invoke(NPIdentifier name, const NPVariant*, uint32_t, NPVariant* result) {
    if (!IsName(name, "Array")) return false;
    NPObject* array = CreateObject(nullptr, &kArrayClass);
    if (array == nullptr) return false;
    OBJECT_TO_NPVARIANT(array, *result);  // the caller gets the one reference
    return true;
}

bool WindowObject::HasProperty(NPIdentifier name) {
    std::lock_guard<std::mutex> lock(mu);
    return IsName(name, "location") && !href.empty();
}

bool WindowObject::GetProperty(NPIdentifier name, NPVariant* result) {
    NoteIfOffMainThread("window.location");
    std::string location;
    {
        std::lock_guard<std::mutex> lock(mu);
        location = href;
    }
    if (!IsName(name, "location") || location.empty()) return false;
    NPObject* object = CreateObject(nullptr, &kLocationClass);
    if (object == nullptr) return false;
    static_cast<LocationObject*>(Cast(object))->href = location;
    OBJECT_TO_NPVARIANT(object, *result);  // the caller gets the one reference
    return true;
}

bool LocationObject::HasProperty(NPIdentifier name) {
    return IsName(name, "href");
}

bool LocationObject::GetProperty(NPIdentifier name, NPVariant* result) {
    if (!IsName(name, "href")) return false;
    *result = Value(href).ToOwnedVariant();
    return true;
}

bool ArrayObject::HasMethod(NPIdentifier name) {
    return IsName(name, "push");
}

bool ArrayObject::Invoke(NPIdentifier name, const NPVariant* args, uint32_t count,
                         NPVariant* result) {
    if (!IsName(name, "push")) return false;
    NoteIfOffMainThread("Array.push");
    std::vector<Value> pushed = CopyArgs(args, count);
    std::lock_guard<std::mutex> lock(mu);
    for (Value& value : pushed) items.push_back(std::move(value));
    INT32_TO_NPVARIANT(static_cast<int32_t>(items.size()), *result);
    return true;
}

bool ArrayObject::HasProperty(NPIdentifier name) {
    if (IsName(name, "length")) return true;
    const IdentifierRecord* record = LookupIdentifier(name);
    std::lock_guard<std::mutex> lock(mu);
    return record != nullptr && !record->is_string && record->number >= 0 &&
           static_cast<size_t>(record->number) < items.size();
}

bool ArrayObject::GetProperty(NPIdentifier name, NPVariant* result) {
    const IdentifierRecord* record = LookupIdentifier(name);
    if (record == nullptr) return false;
    std::lock_guard<std::mutex> lock(mu);
    if (record->is_string) {
        if (record->name != "length") return false;
        INT32_TO_NPVARIANT(static_cast<int32_t>(items.size()), *result);
        return true;
    }
    if (record->number < 0 || static_cast<size_t>(record->number) >= items.size()) return false;
    *result = items[record->number].ToOwnedVariant();
    return true;
}

bool FunctionObject::InvokeDefault(const NPVariant* args, uint32_t count, NPVariant* result) {
    NoteIfOffMainThread("a page function");
    std::vector<Value> copies = CopyArgs(args, count);
    std::lock_guard<std::mutex> lock(mu);
    calls.push_back(std::move(copies));
    if (throws) return false;
    *result = this->result.ToOwnedVariant();
    return true;
}

}  // namespace testhost::detail
