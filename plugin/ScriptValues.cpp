#include "plugin/ScriptValues.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "platform/kernel/Text.h"
#include "plugin/BrowserFuncs.h"
#include "util/Numbers.h"

int32_t ToInt(const NPVariant* value) {
    if (!value) return 0;
    switch (value->type) {
        case NPVariantType_Int32:
            return value->value.intValue;
        case NPVariantType_Double: {
            const double d = value->value.doubleValue;
            if (std::isnan(d)) return 0;
            if (d >= 2147483647.0) return std::numeric_limits<int32_t>::max();
            if (d <= -2147483648.0) return std::numeric_limits<int32_t>::min();
            return static_cast<int32_t>(d);  // truncates toward zero
        }
        case NPVariantType_String:
            return util::StringToInt(ToStdString(value));
        default:
            return 0;
    }
}

std::string ToStdString(const NPVariant* value) {
    if (!value || value->type != NPVariantType_String) return std::string();
    const NPString& s = value->value.stringValue;
    if (!s.UTF8Characters || s.UTF8Length == 0) return std::string();
    return std::string(s.UTF8Characters, s.UTF8Length);
}

NPObject* ToObject(const NPVariant* value) {
    if (!value || value->type != NPVariantType_Object || !value->value.objectValue) return nullptr;
    return NPN_RetainObject(value->value.objectValue);
}

bool ToBool(const NPVariant* value) {
    if (!value) return false;
    switch (value->type) {
        case NPVariantType_Bool:
            return value->value.boolValue;
        case NPVariantType_Int32:
            return value->value.intValue != 0;
        case NPVariantType_Double:
            return value->value.doubleValue != 0.0;
        default:
            return false;
    }
}

char* AllocScriptString(const std::string& text) {
    const size_t length = text.size();
    if (length >= std::numeric_limits<uint32_t>::max()) return nullptr;
    char* buffer = static_cast<char*>(NPN_MemAlloc(static_cast<uint32_t>(length + 1)));
    if (!buffer) return nullptr;
    std::memset(buffer, 0, length + 1);
    if (length) std::memcpy(buffer, text.data(), length);
    return buffer;
}

void SetStringResult(const std::string& text, NPVariant* result) {
    if (!result) return;
    const std::string upToNul = text.substr(0, text.find('\0'));
    char* buffer = AllocScriptString(upToNul);
    if (!buffer) return;
    STRINGN_TO_NPVARIANT(buffer, static_cast<uint32_t>(upToNul.size()), *result);
}

void SetIntAsStringResult(int32_t value, NPVariant* result) {
    SetStringResult(util::IntToString(value), result);
}

void SetBoolResult(bool value, NPVariant* result) {
    if (result) BOOLEAN_TO_NPVARIANT(value, *result);
}

NPObject* MakeScriptArray(NPP npp, NPObject* window, std::list<std::string>& ansiStrings) {
    if (ansiStrings.empty()) return nullptr;
    NPVariant arrayValue;
    VOID_TO_NPVARIANT(arrayValue);
    if (!window ||
        !NPN_Invoke(npp, window, NPN_GetStringIdentifier("Array"), nullptr, 0, &arrayValue)) {
        ansiStrings.clear();
        return nullptr;
    }
    if (arrayValue.type != NPVariantType_Object || !arrayValue.value.objectValue) {
        NPN_ReleaseVariantValue(&arrayValue);
        ansiStrings.clear();
        return nullptr;
    }
    NPObject* array = arrayValue.value.objectValue;  // our reference, handed to the caller
    const NPIdentifier push = NPN_GetStringIdentifier("push");
    while (!ansiStrings.empty()) {
        const std::string utf8 = util::AnsiToUtf8(ansiStrings.front());
        ansiStrings.pop_front();
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
