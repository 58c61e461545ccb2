#pragma once
// What a verification's requests are told, by the run and by tests.

#include <string>

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

// How long one attempt at a link may take in all, connection, redirects and reply included:
// three times the connect time-out, so a server that trickles its reply cannot hold a link
// for hours. A time-out of 0 (libcurl's own connect default) gives five minutes, the time a
// silent connection is already allowed.
int RequestLimitSeconds(int timeoutSeconds);

}  // namespace tolva
