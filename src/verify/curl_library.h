#pragma once
// libcurl, loaded when verification first needs it rather than when a program starts. It
// brings some thirty shared libraries with it (TLS, SSH, LDAP, Kerberos, ...), and loading
// them would cost every run of tolva-cli, a translation too, several milliseconds.

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>

namespace tolva {

struct CurlLibrary {
    CURLcode (*global_init)(long flags) = nullptr;
    void (*global_cleanup)() = nullptr;
    CURL* (*easy_init)() = nullptr;
    void (*easy_cleanup)(CURL* handle) = nullptr;
    CURLcode (*easy_setopt)(CURL* handle, CURLoption option, ...) = nullptr;
    CURLcode (*easy_perform)(CURL* handle) = nullptr;
    CURLcode (*easy_getinfo)(CURL* handle, CURLINFO info, ...) = nullptr;
    curl_slist* (*slist_append)(curl_slist* list, const char* text) = nullptr;
    void (*slist_free_all)(curl_slist* list) = nullptr;
    // The multi interface: many transfers on one thread (verify --jobs).
    CURLM* (*multi_init)() = nullptr;
    CURLMcode (*multi_cleanup)(CURLM* multi) = nullptr;
    CURLMcode (*multi_add_handle)(CURLM* multi, CURL* handle) = nullptr;
    CURLMcode (*multi_remove_handle)(CURLM* multi, CURL* handle) = nullptr;
    CURLMcode (*multi_perform)(CURLM* multi, int* running) = nullptr;
    CURLMcode (*multi_poll)(CURLM* multi, curl_waitfd* extra, unsigned count, int timeoutMs, int* ready) = nullptr;
    CURLMcode (*multi_wakeup)(CURLM* multi) = nullptr;
    CURLMsg* (*multi_info_read)(CURLM* multi, int* left) = nullptr;
    // What the transfers of a run share (CurlShared).
    CURLSH* (*share_init)() = nullptr;
    CURLSHcode (*share_setopt)(CURLSH* share, CURLSHoption option, ...) = nullptr;
    CURLSHcode (*share_cleanup)(CURLSH* share) = nullptr;
};

// The library, loaded and globally set up on the first call; null when it cannot be loaded
// or set up. Its set-up is not thread-safe: the front ends call this before starting any
// thread of their own.
const CurlLibrary* Curl();
// Undoes the global set-up, when a program ends.
void ReleaseCurl();

// Owners of libcurl's handles and lists, so that each is freed once on every path (as cpr's
// CurlHolder). Only made once Curl() has given the library.
struct CurlEasyFree {
    void operator()(CURL* handle) const { Curl()->easy_cleanup(handle); }
};
struct CurlMultiFree {
    void operator()(CURLM* multi) const { Curl()->multi_cleanup(multi); }
};
struct CurlListFree {
    void operator()(curl_slist* list) const { Curl()->slist_free_all(list); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyFree>;
using CurlMulti = std::unique_ptr<CURLM, CurlMultiFree>;
using CurlList = std::unique_ptr<curl_slist, CurlListFree>;

// What the transfers of one run share: looked-up names, TLS sessions and, when asked, cookies (a
// cookie one link's site sets goes with that site's other links, whichever handle asks for them,
// as in a browser). libcurl takes the locks around every use, so the share may serve handles on
// more than one thread. It must outlive every handle it is set on.
class CurlShared {
public:
    // Null when libcurl cannot make one.
    static std::unique_ptr<CurlShared> Create(bool cookies);
    ~CurlShared();
    CurlShared(const CurlShared&) = delete;
    CurlShared& operator=(const CurlShared&) = delete;

    CURLSH* Get() const { return share_; }

private:
    CurlShared() = default;
    static void Lock(CURL* handle, curl_lock_data data, curl_lock_access access, void* self);
    static void Unlock(CURL* handle, curl_lock_data data, void* self);

    CURLSH* share_ = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
};

}  // namespace tolva
