#pragma once
// One link request over libcurl, on a worker thread. A LinkRequester lives for one
// verification run and keeps one easy handle, so connections and looked-up names are reused
// from link to link. Each Start hands the worker a URL and a request number; the worker
// posts the request's status texts and its outcome to the run's Waiter, tagged with that
// number so the run can drop a record that arrives after it stopped waiting for it.

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "verify/waiter.h"

namespace tolva {

struct LinkRequestOptions {
    int timeoutSeconds = 0;  // connect time-out; 0 leaves libcurl's own default
    int retryCount = 0;      // further attempts after a failure to connect
    bool acceptCookies = false;
    // The User-Agent every request names; empty: "Tolva".
    std::string userAgent;
    // Hosts never reached through a proxy (tests pass "*" so loopback stays direct).
    std::string noProxy;
    // Test seam: every name look-up fails as an unknown host would, without asking DNS.
    bool refuseNameLookups = false;
    // Test seam: the machinery cannot be set up, as when libcurl has no memory for a handle.
    bool failSetup = false;
    // Test seam: PEM certificates trusted in place of the system's, for a local HTTPS server.
    std::string trustedCertificates;
};

class LinkRequester {
public:
    // Returns null when the machinery cannot be set up (no easy handle, no worker).
    static std::unique_ptr<LinkRequester> Create(const LinkRequestOptions& options, Waiter& waiter);
    ~LinkRequester();
    LinkRequester(const LinkRequester&) = delete;
    LinkRequester& operator=(const LinkRequester&) = delete;

    // Starts a request for url; returns its number. The previous request must be finished.
    unsigned Start(const std::string& url);
    // Asks the request under way to stop; its completion then reports Stopped.
    void Abort();
    // Waits at most timeoutMs for the worker to be idle again; false if it is still busy.
    bool WaitIdle(int timeoutMs);

    struct Shared;

private:
    explicit LinkRequester(std::shared_ptr<Shared> shared);
    std::shared_ptr<Shared> shared_;
    std::thread worker_;
};

// How long one attempt at a link may take in all, connection, redirects and reply included:
// three times the connect time-out, so a server that trickles its reply cannot hold a link
// for hours. A time-out of 0 (libcurl's own connect default) gives five minutes, the time a
// silent connection is already allowed.
int RequestLimitSeconds(int timeoutSeconds);
// The scheme before the first colon, or empty text when the URL has none.
std::string_view SchemeOf(std::string_view url);
// Whether verification asks for a URL with this scheme at all: http, https and ftp.
bool IsRequestedScheme(std::string_view scheme);

// The URL as sent: bytes libcurl refuses but browsers escape (space, control bytes, bytes of
// 0x80 and above) percent-encoded after the host part. The stored URL is never changed.
std::string EncodeForRequest(const std::string& url);

}  // namespace tolva
