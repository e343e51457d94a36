// libcurl, loaded when the first HTTP session opens rather than linked: a program that never
// goes on the network (quillon convert, a paste) then does not pay at start for the dynamic
// linking of libcurl and the thirty libraries it pulls in. The types come from its header.
#pragma once

#include <curl/curl.h>

namespace platform {

// The libcurl functions the HTTP transport calls, as they are declared in its header.
struct CurlLibrary {
    decltype(&::curl_global_init) global_init;
    decltype(&::curl_easy_init) easy_init;
    decltype(&::curl_easy_setopt) easy_setopt;
    decltype(&::curl_easy_getinfo) easy_getinfo;
    decltype(&::curl_easy_pause) easy_pause;
    decltype(&::curl_easy_cleanup) easy_cleanup;
    decltype(&::curl_multi_init) multi_init;
    decltype(&::curl_multi_add_handle) multi_add_handle;
    decltype(&::curl_multi_remove_handle) multi_remove_handle;
    decltype(&::curl_multi_perform) multi_perform;
    decltype(&::curl_multi_info_read) multi_info_read;
    decltype(&::curl_multi_poll) multi_poll;
    decltype(&::curl_multi_cleanup) multi_cleanup;
    decltype(&::curl_slist_append) slist_append;
    decltype(&::curl_slist_free_all) slist_free_all;
    decltype(&::curl_url) url;
    decltype(&::curl_url_set) url_set;
    decltype(&::curl_url_get) url_get;
    decltype(&::curl_url_cleanup) url_cleanup;
    decltype(&::curl_free) free;
};

// The library with every function found and curl_global_init done, loaded on the first call;
// null when it is missing or lacks a function (every session then fails to open, as when
// libcurl cannot make a handle), and then on every later call too.
const CurlLibrary* Curl();

}  // namespace platform
