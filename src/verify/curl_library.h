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
};

// The library, loaded and globally set up on the first call; null when it cannot be loaded
// or set up. Its set-up is not thread-safe: the front ends call this before starting any
// thread of their own.
const CurlLibrary* Curl();
// Undoes the global set-up, when a program ends.
void ReleaseCurl();

}  // namespace tolva
