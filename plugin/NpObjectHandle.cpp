#include "plugin/NpObjectHandle.h"

#include <limits>

#include "plugin/BrowserFuncs.h"
#include "plugin/ScriptValues.h"

NpObjectHandle::NpObjectHandle(NPP npp, NPObject* object)
    : npp_(npp), object_(NPN_RetainObject(object)) {}

NpObjectHandle::~NpObjectHandle() {
    if (object_) NPN_ReleaseObject(object_);
}

bool NpObjectHandle::Call(const std::vector<script::ScriptValue>& arguments) {
    // Arguments are lent to the browser for the call, which copies what it keeps: strings point
    // into the values themselves (no copy of a large event text), objects carry no reference
    // of their own.
    std::vector<NPVariant> args(arguments.size());
    for (size_t i = 0; i < arguments.size(); ++i) {
        const script::ScriptValue& value = arguments[i];
        NPVariant& arg = args[i];
        NULL_TO_NPVARIANT(arg);
        switch (value.type()) {
            case script::ScriptValue::kString: {
                const std::string& text = value.text();
                if (text.size() < std::numeric_limits<uint32_t>::max())
                    STRINGN_TO_NPVARIANT(text.data(), static_cast<uint32_t>(text.size()), arg);
                break;
            }
            case script::ScriptValue::kInt32:
                INT32_TO_NPVARIANT(value.intValue(), arg);
                break;
            case script::ScriptValue::kDouble:
                DOUBLE_TO_NPVARIANT(value.doubleValue(), arg);
                break;
            case script::ScriptValue::kBool:
                BOOLEAN_TO_NPVARIANT(value.boolValue(), arg);
                break;
            case script::ScriptValue::kObject:
                if (NPObject* object = NPObjectOf(value.object())) OBJECT_TO_NPVARIANT(object, arg);
                break;
            case script::ScriptValue::kVoid:
                VOID_TO_NPVARIANT(arg);
                break;
            default:
                break;
        }
    }
    // Our own reference for the call: the page may drop every other one from inside it.
    NPObject* callee = NPN_RetainObject(object_);
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    const bool called =
        NPN_InvokeDefault(npp_, callee, args.data(), static_cast<uint32_t>(args.size()), &result);
    if (called) NPN_ReleaseVariantValue(&result);
    NPN_ReleaseObject(callee);
    return called;
}
