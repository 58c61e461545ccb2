#include "verify/curl_library.h"

#include <dlfcn.h>

#include <mutex>

namespace tolva {

namespace {

// The library's name with its interface version, as the dynamic linker would look for it.
constexpr char kCurlLibraryName[] = "libcurl.so.4";

CurlLibrary library;
bool loaded = false;

template <typename Function>
bool Find(void* handle, const char* name, Function& function) {
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    return function != nullptr;
}

bool Load() {
    void* handle = ::dlopen(kCurlLibraryName, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) return false;
    CurlLibrary found;
    const bool complete =
        Find(handle, "curl_global_init", found.global_init) &&
        Find(handle, "curl_global_cleanup", found.global_cleanup) && Find(handle, "curl_easy_init", found.easy_init) &&
        Find(handle, "curl_easy_cleanup", found.easy_cleanup) && Find(handle, "curl_easy_setopt", found.easy_setopt) &&
        Find(handle, "curl_easy_perform", found.easy_perform) &&
        Find(handle, "curl_easy_getinfo", found.easy_getinfo) &&
        Find(handle, "curl_slist_append", found.slist_append) &&
        Find(handle, "curl_slist_free_all", found.slist_free_all) &&
        Find(handle, "curl_multi_init", found.multi_init) && Find(handle, "curl_multi_cleanup", found.multi_cleanup) &&
        Find(handle, "curl_multi_add_handle", found.multi_add_handle) &&
        Find(handle, "curl_multi_remove_handle", found.multi_remove_handle) &&
        Find(handle, "curl_multi_perform", found.multi_perform) && Find(handle, "curl_multi_poll", found.multi_poll) &&
        Find(handle, "curl_multi_wakeup", found.multi_wakeup) &&
        Find(handle, "curl_multi_info_read", found.multi_info_read);
    // The library stays loaded for the life of the program, whatever happens here.
    if (!complete || found.global_init(CURL_GLOBAL_DEFAULT) != CURLE_OK) return false;
    library = found;
    return true;
}

std::once_flag loading;

}  // namespace

const CurlLibrary* Curl() {
    std::call_once(loading, [] { loaded = Load(); });
    return loaded ? &library : nullptr;
}

void ReleaseCurl() {
    if (const CurlLibrary* curl = Curl()) curl->global_cleanup();
}

}  // namespace tolva
