#include "plugin/ScriptValues.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#include "platform/kernel/Text.h"
#include "plugin/BrowserFuncs.h"
#include "plugin/NpObjectHandle.h"

script::ScriptValue FromNPVariant(NPP npp, const NPVariant& value) {
    switch (value.type) {
        case NPVariantType_Null:
            return script::ScriptValue::Null();
        case NPVariantType_Bool:
            return script::ScriptValue::Bool(value.value.boolValue);
        case NPVariantType_Int32:
            return script::ScriptValue::Int32(value.value.intValue);
        case NPVariantType_Double:
            return script::ScriptValue::Double(value.value.doubleValue);
        case NPVariantType_String: {
            const NPString& s = value.value.stringValue;
            if (!s.UTF8Characters || s.UTF8Length == 0) return script::ScriptValue::String("");
            return script::ScriptValue::String(std::string(s.UTF8Characters, s.UTF8Length));
        }
        case NPVariantType_Object:
            if (!value.value.objectValue) return script::ScriptValue::Null();
            return script::ScriptValue::Object(
                std::make_shared<NpObjectHandle>(npp, value.value.objectValue));
        default:
            return script::ScriptValue();
    }
}

NPObject* NPObjectOf(const script::ObjectHandle& handle) {
    const NpObjectHandle* own = dynamic_cast<const NpObjectHandle*>(handle.get());
    return own ? own->object() : nullptr;
}

void ToNPVariant(NPP npp, NPObject* window, script::ScriptValue value, NPVariant* out) {
    if (!out) return;
    switch (value.type()) {
        case script::ScriptValue::kVoid:
            break;  // the result stays as the browser set it up
        case script::ScriptValue::kNull:
            NULL_TO_NPVARIANT(*out);
            break;
        case script::ScriptValue::kBool:
            BOOLEAN_TO_NPVARIANT(value.boolValue(), *out);
            break;
        case script::ScriptValue::kInt32:
            INT32_TO_NPVARIANT(value.intValue(), *out);
            break;
        case script::ScriptValue::kDouble:
            DOUBLE_TO_NPVARIANT(value.doubleValue(), *out);
            break;
        case script::ScriptValue::kString:
            SetStringResult(value.text(), out);
            break;
        case script::ScriptValue::kObject:
            if (NPObject* object = NPObjectOf(value.object()))
                OBJECT_TO_NPVARIANT(NPN_RetainObject(object), *out);
            break;
        case script::ScriptValue::kStringList: {
            NPObject* array = MakeUtf8ScriptArray(npp, window, value.list());
            if (array)
                OBJECT_TO_NPVARIANT(array, *out);
            else
                NULL_TO_NPVARIANT(*out);
            break;
        }
    }
}

// The conversions below never need a handle: an object converts to 0, "" and false.
int32_t ToInt(const NPVariant* value) {
    if (!value || value->type == NPVariantType_Object) return 0;
    return script::ToInt(FromNPVariant(nullptr, *value));
}

std::string ToStdString(const NPVariant* value) {
    if (!value || value->type != NPVariantType_String) return std::string();
    return FromNPVariant(nullptr, *value).TakeText();
}

bool ToBool(const NPVariant* value) {
    return value && value->type != NPVariantType_Object &&
           script::ToBool(FromNPVariant(nullptr, *value));
}

namespace {

char* AllocScriptBytes(const char* bytes, size_t length) {
    if (length >= std::numeric_limits<uint32_t>::max()) return nullptr;
    char* buffer = static_cast<char*>(NPN_MemAlloc(static_cast<uint32_t>(length + 1)));
    if (!buffer) return nullptr;
    if (length) std::memcpy(buffer, bytes, length);
    buffer[length] = '\0';
    return buffer;
}

}  // namespace

NPObject* ToObject(const NPVariant* value) {
    const script::ObjectHandle handle =
        value ? script::ToObject(FromNPVariant(nullptr, *value)) : nullptr;
    NPObject* object = NPObjectOf(handle);
    return object ? NPN_RetainObject(object) : nullptr;
}

char* AllocScriptString(const std::string& text) {
    return AllocScriptBytes(text.data(), text.size());
}

void SetStringResult(const std::string& text, NPVariant* result) {
    if (!result) return;
    const size_t length = std::min(text.find('\0'), text.size());
    char* buffer = AllocScriptBytes(text.data(), length);
    if (!buffer) return;
    STRINGN_TO_NPVARIANT(buffer, static_cast<uint32_t>(length), *result);
}

void SetIntAsStringResult(int32_t value, NPVariant* result) {
    ToNPVariant(nullptr, nullptr, script::IntAsStringResult(value), result);
}

void SetBoolResult(bool value, NPVariant* result) {
    ToNPVariant(nullptr, nullptr, script::BoolResult(value), result);
}

namespace {

// Pushes each string onto a new array; null when the browser cannot make it.
template <typename Next>
NPObject* BuildArray(NPP npp, NPObject* window, Next next) {
    NPVariant arrayValue;
    VOID_TO_NPVARIANT(arrayValue);
    if (!window ||
        !NPN_Invoke(npp, window, NPN_GetStringIdentifier("Array"), nullptr, 0, &arrayValue))
        return nullptr;
    if (arrayValue.type != NPVariantType_Object || !arrayValue.value.objectValue) {
        NPN_ReleaseVariantValue(&arrayValue);
        return nullptr;
    }
    NPObject* array = arrayValue.value.objectValue;  // our reference, handed to the caller
    const NPIdentifier push = NPN_GetStringIdentifier("push");
    std::string utf8;
    while (next(utf8)) {
        char* buffer = AllocScriptString(utf8);
        if (!buffer) continue;
        NPVariant item;
        STRINGN_TO_NPVARIANT(buffer, static_cast<uint32_t>(utf8.size()), item);
        NPVariant pushResult;
        VOID_TO_NPVARIANT(pushResult);
        if (NPN_Invoke(npp, array, push, &item, 1, &pushResult))
            NPN_ReleaseVariantValue(&pushResult);
        NPN_ReleaseVariantValue(&item);
    }
    return array;
}

}  // namespace

NPObject* MakeScriptArray(NPP npp, NPObject* window, std::list<std::string>& ansiStrings) {
    if (ansiStrings.empty()) return nullptr;
    NPObject* array = BuildArray(npp, window, [&ansiStrings](std::string& utf8) {
        if (ansiStrings.empty()) return false;
        utf8 = util::AnsiToUtf8(ansiStrings.front());
        ansiStrings.pop_front();
        return true;
    });
    ansiStrings.clear();
    return array;
}

NPObject* MakeUtf8ScriptArray(NPP npp, NPObject* window, const std::vector<std::string>& utf8) {
    if (utf8.empty()) return nullptr;
    size_t next = 0;
    return BuildArray(npp, window, [&utf8, &next](std::string& item) {
        if (next == utf8.size()) return false;
        item = utf8[next++];
        return true;
    });
}
