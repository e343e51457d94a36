// A browser for tests: loads an NPAPI module (dlopen; LoadLibrary on Windows), hands it a
// complete browser function table, creates instances, talks to their scriptable objects exactly as
// a browser does, and runs NPN_PluginThreadAsyncCall requests on the thread that created the host
// when the test pumps it. Page objects (the window with "Array", arrays with "push", functions that
// record their calls) stand in for the page's script.
//
// Only one TestHost may exist at a time: the browser functions are plain C functions, so they
// find the host through process-wide state. Object, identifier and allocation bookkeeping is
// process-wide too, so a value that outlives its host is still released correctly.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "plugin/npapi.h"

namespace testhost {

constexpr char kPluginMimeType[] = "application/npQuillon";

class PageFunction;

// An owned copy of a script value: strings are copied, objects hold one reference that is
// released when the value goes away. Accessors of the wrong type give 0, false, "" or null.
class Value {
  public:
    enum class Type { kVoid, kNull, kBool, kInt, kDouble, kString, kObject };

    Value() = default;
    Value(bool b);
    Value(int32_t i);
    Value(double d);
    Value(const char* s);
    Value(std::string s);
    Value(NPObject* object);  // retains the object
    Value(const PageFunction& function);
    static Value Null();
    // Deep copy of a variant the module produced or received; the variant stays untouched.
    static Value CopyOf(const NPVariant& variant);

    Value(const Value& other);
    Value(Value&& other) noexcept;
    Value& operator=(Value other) noexcept;
    ~Value();

    Type type() const { return type_; }
    bool IsVoid() const { return type_ == Type::kVoid; }
    bool IsNull() const { return type_ == Type::kNull; }
    bool IsBool() const { return type_ == Type::kBool; }
    bool IsInt() const { return type_ == Type::kInt; }
    bool IsDouble() const { return type_ == Type::kDouble; }
    bool IsString() const { return type_ == Type::kString; }
    bool IsObject() const { return type_ == Type::kObject; }

    bool AsBool() const { return type_ == Type::kBool && bool_; }
    int32_t AsInt() const { return type_ == Type::kInt ? int_ : 0; }
    double AsDouble() const { return type_ == Type::kDouble ? double_ : 0.0; }
    const std::string& AsString() const;
    NPObject* AsObject() const { return type_ == Type::kObject ? object_ : nullptr; }

    // A variant that borrows this value's storage, as a browser passes arguments: the module
    // must not free or release it. Valid while this value lives unchanged.
    NPVariant View() const;
    // A variant handed over to the module, as a browser returns results: strings in a fresh
    // NPN_MemAlloc buffer, objects with one more reference. The receiver releases it.
    NPVariant ToOwnedVariant() const;

    // "void", "null", "true", "12", "2.5", "\"text\"", "object 0x..." for messages.
    std::string Describe() const;
    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }

  private:
    void Swap(Value& other) noexcept;

    Type type_ = Type::kVoid;
    bool bool_ = false;
    int32_t int_ = 0;
    double double_ = 0.0;
    std::string string_;
    NPObject* object_ = nullptr;
};

std::ostream& operator<<(std::ostream& out, const Value& value);

// Outcome of a script call made the way a browser makes it: ok is what the object's class
// answered (false also when the name is unknown to hasMethod/hasProperty); value is an owned
// copy of the result, whose browser-side variant was already released.
struct ScriptResult {
    bool ok = false;
    Value value;
};

// A page function: an object whose invokeDefault records a copy of every call's arguments and
// answers with a configurable value (void by default), or fails like a throwing function.
// The handle holds one reference to the object.
class PageFunction {
  public:
    PageFunction() = default;
    PageFunction(const PageFunction& other);
    PageFunction& operator=(const PageFunction& other);
    ~PageFunction();

    NPObject* object() const { return object_; }
    std::vector<std::vector<Value>> Calls() const;
    size_t CallCount() const;
    // Argument `index` of every call in order: the text of strings, Describe() of other types,
    // "<missing>" when the call had fewer arguments.
    std::vector<std::string> StringArgs(size_t index = 0) const;
    void ClearCalls();
    void SetResult(const Value& result);
    void SetThrows(bool throws);

  private:
    friend class TestHost;
    explicit PageFunction(NPObject* adopted) : object_(adopted) {}
    NPObject* object_ = nullptr;
};

#if defined(_WIN32)
// The exports a browser resolves in an NPAPI module on Windows (standard calling convention).
struct ModuleEntryPoints {
    NPError(__stdcall* getEntryPoints)(NPPluginFuncs*) = nullptr;
    NPError(__stdcall* initialize)(NPNetscapeFuncs*) = nullptr;
    NPError(__stdcall* shutdown)() = nullptr;
};
#else
// The exports a browser resolves in an NPAPI module on Unix.
struct ModuleEntryPoints {
    NPError (*getEntryPoints)(NPPluginFuncs*) = nullptr;
    NPError (*initialize)(NPNetscapeFuncs*, NPPluginFuncs*) = nullptr;
    NPError (*shutdown)() = nullptr;
    const char* (*getMimeDescription)() = nullptr;
    NPError (*getValue)(void*, NPPVariable, void*) = nullptr;
};
#endif

struct SetValueRecord {
    NPP instance;
    NPPVariable variable;
    void* value;  // as passed; for the ...Bool variables the flag itself (null is false)
};

struct ExceptionRecord {
    NPObject* object;
    std::string message;
};

class TestHost;

// One embed element. Owned by its host; the NPP record stays valid until the host ends, so a
// module that keeps an instance handle never reads freed browser memory.
class Instance {
  public:
    NPP npp() { return &npp_; }
    NPError new_result() const { return new_result_; }
    bool alive() const { return alive_; }

    // NPP_SetWindow with the instance's one window record, updated in place like a browser does.
    NPError SetWindow(void* handle, uint32_t width = 400, uint32_t height = 300);
    NPError SetNullWindow();  // NPP_SetWindow with a null record
    NPWindow& window() { return window_; }

    NPError GetValue(NPPVariable variable, void* result);  // raw NPP_GetValue
    NPError SetValue(NPNVariable variable, void* value);   // raw NPP_SetValue
    // The scriptable object (NPP_GetValue 15), asked for once; the host keeps that reference
    // until Destroy. Null when the module gives none.
    NPObject* ScriptObject();

    ScriptResult Call(const std::string& method, const std::vector<Value>& args = {});
    ScriptResult CallDefault(const std::vector<Value>& args = {});
    ScriptResult Get(const std::string& property);
    bool Set(const std::string& property, const Value& value);
    bool HasMethod(const std::string& name);
    bool HasProperty(const std::string& name);

    // NPP_Destroy, then the host drops its reference to the scriptable object. Saved data the
    // module returns is freed with NPN_MemFree. A second call does nothing and returns 2.
    NPError Destroy();

  private:
    friend class TestHost;
    Instance(TestHost* host, const std::string& mime,
             const std::vector<std::pair<std::string, std::string>>& attributes);

    TestHost* host_;
    NPP_t npp_{nullptr, nullptr};
    NPWindow window_{};
    std::string mime_;
    std::vector<std::string> attribute_storage_;
    std::vector<char*> argn_;
    std::vector<char*> argv_;
    NPError new_result_ = NPERR_GENERIC_ERROR;
    bool alive_ = false;
    NPObject* script_object_ = nullptr;
};

class TestHost {
  public:
    enum class InitStyle {
        kUnix,     // NP_Initialize(browser table, plug-in table)
        kWindows,  // NP_GetEntryPoints(plug-in table), then NP_Initialize (the browser table)
    };

    TestHost();   // the calling thread becomes the main thread
    ~TestHost();  // destroys live instances, drops pending async calls; the module stays loaded
    TestHost(const TestHost&) = delete;
    TestHost& operator=(const TestHost&) = delete;

    // --- module ---
    // Loads the module (dlopen, or LoadLibrary on Windows) and resolves the exports; false with
    // load_error() when the file or a required export (NP_Initialize, NP_Shutdown) is missing. The
    // module is never unloaded: a browser keeps it, and detached workers of the module may still
    // run.
    bool Load(const std::string& path);
    const std::string& load_error() const { return load_error_; }
    const ModuleEntryPoints& entry_points() const { return entry_points_; }
    NPError Initialize(InitStyle style = InitStyle::kUnix);
    // The process-wide browser table (size and version 27 set); stable for the process.
    static NPNetscapeFuncs* BrowserFunctions();
    // The plug-in table the host filled through the entry points (size set by the host).
    NPPluginFuncs& plugin_functions() { return plugin_functions_; }

    // --- instances ---
    // NPP_New with mode 1 (embed) and the attributes as argn/argv ("type" by default). Check
    // new_result() / alive() of the result.
    Instance& NewInstance(const std::string& mime = kPluginMimeType,
                          std::vector<std::pair<std::string, std::string>> attributes = {});

    // --- page objects ---
    NPObject* window() const;  // borrowed; the host keeps its reference
    // The page's address, which window.location.href gives from then on (instances read it
    // when they are created); empty (the default) leaves the window without "location".
    void SetPageLocation(const std::string& href);
    NPObject* NewArray();  // one reference for the caller
    // The items pushed into a host array, in order; nullopt when `object` is not one.
    std::optional<std::vector<Value>> ArrayItems(NPObject* object) const;
    PageFunction NewFunction();

    // --- scripting, through the object's NPClass as a browser does ---
    ScriptResult Call(NPObject* object, const std::string& method,
                      const std::vector<Value>& args = {});  // hasMethod, then invoke
    ScriptResult CallDefault(NPObject* object, const std::vector<Value>& args = {});
    ScriptResult Get(NPObject* object, const std::string& property);  // hasProperty, getProperty
    bool Set(NPObject* object, const std::string& property, const Value& value);  // likewise
    bool HasMethod(NPObject* object, const std::string& name);
    bool HasProperty(NPObject* object, const std::string& name);
    static NPIdentifier Identifier(const std::string& name);
    static NPIdentifier Identifier(int32_t index);

    // --- main thread ---
    bool IsMainThread() const;
    // Runs the async calls queued so far, on the calling thread, which must be the main thread
    // (elsewhere nothing runs and a violation is recorded). Returns how many ran. Calls for a
    // destroyed instance are dropped, as browsers do, unless enabled below.
    size_t RunPending();
    // Pumps until `done` holds (checked after every pump) or the timeout passes.
    bool RunUntil(const std::function<bool()>& done,
                  std::chrono::milliseconds timeout = std::chrono::seconds(5));
    size_t PendingAsyncCalls() const;
    size_t DroppedAsyncCalls() const;
    void SetRunCallsForDestroyedInstances(bool run);

    // --- bookkeeping (counts cover what happened while this host was active) ---
    size_t OutstandingAllocations() const;  // NPN_MemAlloc blocks not yet freed
    size_t TotalAllocations() const;
    size_t OffMainThreadAllocations() const;                     // allowed, but a browser logs them
    size_t LiveObjectCount(const NPClass* cls = nullptr) const;  // includes the window
    bool IsLive(NPObject* object) const;
    int64_t ReferenceCount(NPObject* object) const;  // -1 when not alive
    std::vector<SetValueRecord> SetValueCalls() const;
    std::vector<ExceptionRecord> Exceptions() const;
    // Misuse a real browser would crash on or reject: script calls off the main thread, freeing
    // what NPN_MemAlloc did not give, releasing a dead object, unknown identifiers or instances.
    std::vector<std::string> Violations() const;
    void ClearViolations();

  private:
    friend class Instance;

    std::thread::id main_thread_;
    void* module_handle_ = nullptr;
    std::string load_error_;
    ModuleEntryPoints entry_points_;
    NPPluginFuncs plugin_functions_{};
    std::vector<std::unique_ptr<Instance>> instances_;
    NPObject* window_ = nullptr;
};

}  // namespace testhost
