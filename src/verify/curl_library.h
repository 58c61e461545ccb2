#pragma once
// libcurl, loaded when verification first needs it rather than when a program starts. It
// brings some thirty shared libraries with it (TLS, SSH, LDAP, Kerberos, ...), and loading
// them would cost every run of tolva-cli, a translation too, several milliseconds.

#include <curl/curl.h>

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
};

// The library, loaded and globally set up on the first call; null when it cannot be loaded
// or set up. Its set-up is not thread-safe: the front ends call this before starting any
// thread of their own.
const CurlLibrary* Curl();
// Undoes the global set-up, when a program ends.
void ReleaseCurl();

}  // namespace tolva
