#include "platform/http/linux/CurlLibrary.h"

#include <dlfcn.h>

#include <mutex>

namespace platform {
namespace {

// The library's file name with its ABI version, as the package installs it (no development
// link needed at run time).
const char kCurlSoname[] = "libcurl.so.4";

template <typename F>
bool Find(void* handle, const char* name, F& function) {
    function = reinterpret_cast<F>(dlsym(handle, name));
    return function != nullptr;
}

bool Load(CurlLibrary& lib) {
    // Never closed: the transport's handles may live until the process ends.
    void* handle = dlopen(kCurlSoname, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return false;
    const bool found =
        Find(handle, "curl_global_init", lib.global_init) &&
        Find(handle, "curl_easy_init", lib.easy_init) &&
        Find(handle, "curl_easy_setopt", lib.easy_setopt) &&
        Find(handle, "curl_easy_getinfo", lib.easy_getinfo) &&
        Find(handle, "curl_easy_pause", lib.easy_pause) &&
        Find(handle, "curl_easy_cleanup", lib.easy_cleanup) &&
        Find(handle, "curl_multi_init", lib.multi_init) &&
        Find(handle, "curl_multi_add_handle", lib.multi_add_handle) &&
        Find(handle, "curl_multi_remove_handle", lib.multi_remove_handle) &&
        Find(handle, "curl_multi_perform", lib.multi_perform) &&
        Find(handle, "curl_multi_info_read", lib.multi_info_read) &&
        Find(handle, "curl_multi_poll", lib.multi_poll) &&
        Find(handle, "curl_multi_cleanup", lib.multi_cleanup) &&
        Find(handle, "curl_slist_append", lib.slist_append) &&
        Find(handle, "curl_slist_free_all", lib.slist_free_all) &&
        Find(handle, "curl_url", lib.url) && Find(handle, "curl_url_set", lib.url_set) &&
        Find(handle, "curl_url_get", lib.url_get) &&
        Find(handle, "curl_url_cleanup", lib.url_cleanup) && Find(handle, "curl_free", lib.free);
    if (found) lib.global_init(CURL_GLOBAL_DEFAULT);
    return found;
}

}  // namespace

const CurlLibrary* Curl() {
    static CurlLibrary lib;
    static bool loaded = false;
    static std::once_flag once;
    std::call_once(once, [] { loaded = Load(lib); });
    return loaded ? &lib : nullptr;
}

}  // namespace platform
