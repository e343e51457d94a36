// The page's own script objects: the window (whose "Array" makes arrays), arrays (with "push",
// "length" and indexed items) and page functions that record their calls.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "TestHost.h"

namespace testhost::detail {

// Base of the host's objects; the NPObject header comes first in memory only by convention,
// so every class entry converts with static_cast.
struct PageObject : NPObject {
    virtual ~PageObject() = default;
    virtual bool HasMethod(NPIdentifier) { return false; }
    virtual bool Invoke(NPIdentifier, const NPVariant*, uint32_t, NPVariant*) { return false; }
    virtual bool InvokeDefault(const NPVariant*, uint32_t, NPVariant*) { return false; }
    virtual bool HasProperty(NPIdentifier) { return false; }
    virtual bool GetProperty(NPIdentifier, NPVariant*) { return false; }
};

// "location" (with "href") once the test has set one.
struct WindowObject : PageObject {
    bool HasMethod(NPIdentifier name) override;
    bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t count,
                NPVariant* result) override;
    bool HasProperty(NPIdentifier name) override;
    bool GetProperty(NPIdentifier name, NPVariant* result) override;

    mutable std::mutex mu;
    std::string href;  // empty: no "location"
};

struct LocationObject : PageObject {
    bool HasProperty(NPIdentifier name) override;
    bool GetProperty(NPIdentifier name, NPVariant* result) override;

    std::string href;
};

struct ArrayObject : PageObject {
    bool HasMethod(NPIdentifier name) override;
    bool Invoke(NPIdentifier name, const NPVariant* args, uint32_t count,
                NPVariant* result) override;
    bool HasProperty(NPIdentifier name) override;
    bool GetProperty(NPIdentifier name, NPVariant* result) override;

    mutable std::mutex mu;
    std::vector<Value> items;
};

struct FunctionObject : PageObject {
    bool InvokeDefault(const NPVariant* args, uint32_t count, NPVariant* result) override;

    mutable std::mutex mu;
    std::vector<std::vector<Value>> calls;
    Value result;
    bool throws = false;
};

extern NPClass kWindowClass;
extern NPClass kArrayClass;
extern NPClass kFunctionClass;
extern NPClass kLocationClass;

// Null when `object` is not of that class.
ArrayObject* AsArray(NPObject* object);
FunctionObject* AsFunction(NPObject* object);

}  // namespace testhost::detail
