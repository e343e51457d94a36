#include "TestHost.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <cstdlib>

#include "HostRegistry.h"
#include "PageObjects.h"

namespace testhost {

using detail::GetRegistry;
using detail::Registry;

namespace {

#if defined(_WIN32)
std::wstring Utf8ToWidePath(const std::string& path) {
    const int length =
        MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring wide(length > 0 ? length : 0, L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), &wide[0],
                            length);
    return wide;
}
#endif

// Calls a class entry only if the object is alive; a browser never calls into a freed object.
NPClass* ClassOf(NPObject* object, const char* what) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    detail::RequireMainThreadLocked(r, what);
    if (object == nullptr || r.objects.count(object) == 0) {
        detail::NoteLocked(r, std::string(what) + " on an object that is not alive");
        return nullptr;
    }
    return object->_class;
}

// The module filled `result`; keep a copy and release the browser's variant as a browser does.
ScriptResult TakeResult(bool ok, NPVariant& result) {
    ScriptResult out;
    out.ok = ok;
    out.value = Value::CopyOf(result);
    detail::ReleaseVariantValue(&result);
    return out;
}

// Argument variants in an array of exactly the passed size, so that a module reading past the
// count trips the sanitizers.
struct ArgumentArray {
    explicit ArgumentArray(const std::vector<Value>& args) : variants(new NPVariant[args.size()]) {
        for (size_t i = 0; i < args.size(); ++i) variants[i] = args[i].View();
    }
    std::unique_ptr<NPVariant[]> variants;
};

}  // namespace

TestHost::TestHost() : main_thread_(std::this_thread::get_id()) {
    Registry& r = GetRegistry();
    {
        std::lock_guard<std::mutex> lock(r.mu);
        if (r.generation != 0) {
            std::fprintf(stderr, "TestHost: only one host may exist at a time\n");
            std::abort();
        }
        r.generation = ++r.last_generation;
        r.main_thread = main_thread_;
        r.total_allocations = 0;
        r.off_main_allocations = 0;
        r.dropped_calls = 0;
        r.run_for_destroyed = false;
        r.queue.clear();
        r.known_instances.clear();
        r.live_instances.clear();
        r.set_values.clear();
        r.exceptions.clear();
        r.violations.clear();
    }
    window_ = detail::CreateObject(nullptr, &detail::kWindowClass);
    std::lock_guard<std::mutex> lock(r.mu);
    r.window = window_;
}

TestHost::~TestHost() {
    for (auto& instance : instances_)
        if (instance->alive()) instance->Destroy();
    Registry& r = GetRegistry();
    {
        std::lock_guard<std::mutex> lock(r.mu);
        r.window = nullptr;
        r.queue.clear();
    }
    detail::ReleaseObject(window_);
    std::lock_guard<std::mutex> lock(r.mu);
    r.generation = 0;
    r.queue.clear();
    r.known_instances.clear();
    r.live_instances.clear();
}

#if defined(_WIN32)
bool TestHost::Load(const std::string& path) {
    load_error_.clear();
    entry_points_ = ModuleEntryPoints();
    const std::wstring wide = Utf8ToWidePath(path);
    HMODULE module = LoadLibraryW(wide.c_str());
    if (module == nullptr) {
        load_error_ = "LoadLibrary failed with error " + std::to_string(GetLastError());
        return false;
    }
    module_handle_ = module;
    // GetProcAddress gives a generic function pointer; the exports' real types are known.
    auto resolve = [module](const char* name) {
        return reinterpret_cast<void*>(GetProcAddress(module, name));
    };
    entry_points_.getEntryPoints =
        reinterpret_cast<NPError(__stdcall*)(NPPluginFuncs*)>(resolve("NP_GetEntryPoints"));
    entry_points_.initialize =
        reinterpret_cast<NPError(__stdcall*)(NPNetscapeFuncs*)>(resolve("NP_Initialize"));
    entry_points_.shutdown = reinterpret_cast<NPError(__stdcall*)()>(resolve("NP_Shutdown"));
    if (entry_points_.getEntryPoints == nullptr || entry_points_.initialize == nullptr ||
        entry_points_.shutdown == nullptr) {
        load_error_ = "the module does not export NP_GetEntryPoints, NP_Initialize and NP_Shutdown";
        return false;
    }
    return true;
}

NPError TestHost::Initialize(InitStyle) {
    plugin_functions_ = NPPluginFuncs();
    plugin_functions_.size = sizeof(NPPluginFuncs);
    if (entry_points_.initialize == nullptr || entry_points_.getEntryPoints == nullptr)
        return NPERR_MODULE_LOAD_FAILED_ERROR;
    // Windows browsers always ask for the plug-in table first, then hand over theirs.
    NPError result = entry_points_.getEntryPoints(&plugin_functions_);
    if (result != NPERR_NO_ERROR) return result;
    return entry_points_.initialize(BrowserFunctions());
}
#else
bool TestHost::Load(const std::string& path) {
    load_error_.clear();
    entry_points_ = ModuleEntryPoints();
    module_handle_ = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module_handle_ == nullptr) {
        const char* error = dlerror();
        load_error_ = error != nullptr ? error : "dlopen failed";
        return false;
    }
    auto resolve = [this](const char* name) { return dlsym(module_handle_, name); };
    entry_points_.getEntryPoints =
        reinterpret_cast<NPError (*)(NPPluginFuncs*)>(resolve("NP_GetEntryPoints"));
    entry_points_.initialize =
        reinterpret_cast<NPError (*)(NPNetscapeFuncs*, NPPluginFuncs*)>(resolve("NP_Initialize"));
    entry_points_.shutdown = reinterpret_cast<NPError (*)()>(resolve("NP_Shutdown"));
    entry_points_.getMimeDescription =
        reinterpret_cast<const char* (*)()>(resolve("NP_GetMIMEDescription"));
    entry_points_.getValue =
        reinterpret_cast<NPError (*)(void*, NPPVariable, void*)>(resolve("NP_GetValue"));
    if (entry_points_.initialize == nullptr || entry_points_.shutdown == nullptr) {
        load_error_ = "the module does not export NP_Initialize and NP_Shutdown";
        return false;
    }
    return true;
}

NPError TestHost::Initialize(InitStyle style) {
    plugin_functions_ = NPPluginFuncs();
    plugin_functions_.size = sizeof(NPPluginFuncs);
    if (entry_points_.initialize == nullptr) return NPERR_MODULE_LOAD_FAILED_ERROR;
    if (style == InitStyle::kUnix)
        return entry_points_.initialize(BrowserFunctions(), &plugin_functions_);
    if (entry_points_.getEntryPoints == nullptr) return NPERR_MODULE_LOAD_FAILED_ERROR;
    NPError result = entry_points_.getEntryPoints(&plugin_functions_);
    if (result != NPERR_NO_ERROR) return result;
    return entry_points_.initialize(BrowserFunctions(), nullptr);
}
#endif

Instance& TestHost::NewInstance(const std::string& mime,
                                std::vector<std::pair<std::string, std::string>> attributes) {
    if (attributes.empty()) attributes.emplace_back("type", mime);
    instances_.emplace_back(new Instance(this, mime, attributes));
    Instance& instance = *instances_.back();
    if (plugin_functions_.newp == nullptr) {
        instance.new_result_ = NPERR_INVALID_FUNCTABLE_ERROR;
        return instance;
    }
    Registry& r = GetRegistry();
    {
        std::lock_guard<std::mutex> lock(r.mu);
        r.known_instances.insert(&instance.npp_);
        r.live_instances.insert(&instance.npp_);  // NPP_New may already call the browser
    }
    instance.new_result_ = plugin_functions_.newp(
        &instance.mime_[0], &instance.npp_, 1, static_cast<int16_t>(instance.argn_.size() - 1),
        instance.argn_.data(), instance.argv_.data(), nullptr);
    instance.alive_ = instance.new_result_ == NPERR_NO_ERROR;
    if (!instance.alive_) {
        std::lock_guard<std::mutex> lock(r.mu);
        r.live_instances.erase(&instance.npp_);
    }
    return instance;
}

NPObject* TestHost::window() const {
    return window_;
}

void TestHost::SetPageLocation(const std::string& href) {
    detail::WindowObject* window = static_cast<detail::WindowObject*>(window_);
    std::lock_guard<std::mutex> lock(window->mu);
    window->href = href;
}

NPObject* TestHost::NewArray() {
    return detail::CreateObject(nullptr, &detail::kArrayClass);
}

std::optional<std::vector<Value>> TestHost::ArrayItems(NPObject* object) const {
    if (!IsLive(object)) return std::nullopt;
    detail::ArrayObject* array = detail::AsArray(object);
    if (array == nullptr) return std::nullopt;
    std::lock_guard<std::mutex> lock(array->mu);
    return array->items;
}

PageFunction TestHost::NewFunction() {
    return PageFunction(detail::CreateObject(nullptr, &detail::kFunctionClass));
}

ScriptResult TestHost::Call(NPObject* object, const std::string& method,
                            const std::vector<Value>& args) {
    if (!HasMethod(object, method)) return ScriptResult();
    NPClass* cls = ClassOf(object, "invoke");
    if (cls == nullptr || cls->invoke == nullptr) return ScriptResult();
    ArgumentArray array(args);
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    bool ok = cls->invoke(object, Identifier(method), array.variants.get(),
                          static_cast<uint32_t>(args.size()), &result);
    return TakeResult(ok, result);
}

ScriptResult TestHost::CallDefault(NPObject* object, const std::vector<Value>& args) {
    NPClass* cls = ClassOf(object, "invokeDefault");
    if (cls == nullptr || cls->invokeDefault == nullptr) return ScriptResult();
    ArgumentArray array(args);
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    bool ok = cls->invokeDefault(object, array.variants.get(), static_cast<uint32_t>(args.size()),
                                 &result);
    return TakeResult(ok, result);
}

ScriptResult TestHost::Get(NPObject* object, const std::string& property) {
    if (!HasProperty(object, property)) return ScriptResult();
    NPClass* cls = ClassOf(object, "getProperty");
    if (cls == nullptr || cls->getProperty == nullptr) return ScriptResult();
    NPVariant result;
    VOID_TO_NPVARIANT(result);
    bool ok = cls->getProperty(object, Identifier(property), &result);
    return TakeResult(ok, result);
}

bool TestHost::Set(NPObject* object, const std::string& property, const Value& value) {
    if (!HasProperty(object, property)) return false;
    NPClass* cls = ClassOf(object, "setProperty");
    if (cls == nullptr || cls->setProperty == nullptr) return false;
    NPVariant variant = value.View();
    return cls->setProperty(object, Identifier(property), &variant);
}

bool TestHost::HasMethod(NPObject* object, const std::string& name) {
    NPClass* cls = ClassOf(object, "hasMethod");
    return cls != nullptr && cls->hasMethod != nullptr && cls->hasMethod(object, Identifier(name));
}

bool TestHost::HasProperty(NPObject* object, const std::string& name) {
    NPClass* cls = ClassOf(object, "hasProperty");
    return cls != nullptr && cls->hasProperty != nullptr &&
           cls->hasProperty(object, Identifier(name));
}

NPIdentifier TestHost::Identifier(const std::string& name) {
    return detail::GetStringIdentifier(name.c_str());
}

NPIdentifier TestHost::Identifier(int32_t index) {
    return detail::GetIntIdentifier(index);
}

bool TestHost::IsMainThread() const {
    return std::this_thread::get_id() == main_thread_;
}

size_t TestHost::RunPending() {
    Registry& r = GetRegistry();
    std::deque<detail::AsyncCall> batch;
    {
        std::lock_guard<std::mutex> lock(r.mu);
        if (!IsMainThread()) {
            detail::NoteLocked(r, "RunPending called off the main thread");
            return 0;
        }
        batch.swap(r.queue);
    }
    size_t ran = 0;
    for (const detail::AsyncCall& call : batch) {
        bool run = false;
        {
            std::lock_guard<std::mutex> lock(r.mu);
            if (call.npp == nullptr || r.live_instances.count(call.npp) != 0) {
                run = true;
            } else if (r.known_instances.count(call.npp) != 0) {
                run = r.run_for_destroyed;
            } else {
                detail::NoteLocked(r, "NPN_PluginThreadAsyncCall for an unknown instance");
            }
            if (!run) ++r.dropped_calls;
        }
        if (run) {
            call.func(call.data);
            ++ran;
        }
    }
    return ran;
}

bool TestHost::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    Registry& r = GetRegistry();
    for (;;) {
        RunPending();
        if (done()) return true;
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) return false;
        // Wake on a new async call, and poll anyway: `done` may watch other state.
        std::unique_lock<std::mutex> lock(r.mu);
        r.queued.wait_until(lock, std::min(deadline, now + std::chrono::milliseconds(10)),
                            [&r] { return !r.queue.empty(); });
    }
}

size_t TestHost::PendingAsyncCalls() const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    return r.queue.size();
}

size_t TestHost::DroppedAsyncCalls() const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    return r.dropped_calls;
}

void TestHost::SetRunCallsForDestroyedInstances(bool run) {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    r.run_for_destroyed = run;
}

size_t TestHost::OutstandingAllocations() const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    size_t count = 0;
    for (const auto& allocation : r.allocations)
        if (allocation.second == r.generation) ++count;
    return count;
}

size_t TestHost::TotalAllocations() const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    return r.total_allocations;
}

size_t TestHost::OffMainThreadAllocations() const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    return r.off_main_allocations;
}

size_t TestHost::LiveObjectCount(const NPClass* cls) const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    size_t count = 0;
    for (const auto& object : r.objects)
        if (object.second.generation == r.generation &&
            (cls == nullptr || object.first->_class == cls))
            ++count;
    return count;
}

bool TestHost::IsLive(NPObject* object) const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    return object != nullptr && r.objects.count(object) != 0;
}

int64_t TestHost::ReferenceCount(NPObject* object) const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    if (object == nullptr || r.objects.count(object) == 0) return -1;
    return object->referenceCount;
}

std::vector<SetValueRecord> TestHost::SetValueCalls() const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    return r.set_values;
}

std::vector<ExceptionRecord> TestHost::Exceptions() const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    return r.exceptions;
}

std::vector<std::string> TestHost::Violations() const {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    return r.violations;
}

void TestHost::ClearViolations() {
    Registry& r = GetRegistry();
    std::lock_guard<std::mutex> lock(r.mu);
    r.violations.clear();
}

}  // namespace testhost
