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
        Find(handle, "curl_multi_info_read", found.multi_info_read) &&
        Find(handle, "curl_share_init", found.share_init) && Find(handle, "curl_share_setopt", found.share_setopt) &&
        Find(handle, "curl_share_cleanup", found.share_cleanup);
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

std::unique_ptr<CurlShared> CurlShared::Create(bool cookies) {
    const CurlLibrary* curl = Curl();
    if (curl == nullptr) return nullptr;
    std::unique_ptr<CurlShared> shared(new CurlShared());
    shared->share_ = curl->share_init();
    if (shared->share_ == nullptr) return nullptr;
    CURLSH* share = shared->share_;
    bool made = curl->share_setopt(share, CURLSHOPT_USERDATA, shared.get()) == CURLSHE_OK &&
                curl->share_setopt(share, CURLSHOPT_LOCKFUNC, Lock) == CURLSHE_OK &&
                curl->share_setopt(share, CURLSHOPT_UNLOCKFUNC, Unlock) == CURLSHE_OK &&
                curl->share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS) == CURLSHE_OK &&
                curl->share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION) == CURLSHE_OK;
    // A shared cookie store turns the cookie engine on for every handle set on it: only when
    // cookies are accepted.
    if (made && cookies) made = curl->share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) == CURLSHE_OK;
    return made ? std::move(shared) : nullptr;
}

CurlShared::~CurlShared() {
    if (share_ != nullptr) Curl()->share_cleanup(share_);
}

void CurlShared::Lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<CurlShared*>(self)->locks_.at(static_cast<std::size_t>(data)).lock();
}

void CurlShared::Unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<CurlShared*>(self)->locks_.at(static_cast<std::size_t>(data)).unlock();
}

}  // namespace tolva
