#pragma once
// A small HTTP server on 127.0.0.1 and an ephemeral port, for tests of the link requests.
// Its paths answer the way the tests need:
//   /status/N           status N with the server's usual reason phrase
//   /redirect/N         N redirects (301) ending at a 200
//   /hop/N/REST         status N with Location /REST (and the query): /hop/301/hop/302/page/a is a chain
//   /, /page/ANYTHING   200
//   /loop               redirects to itself forever
//   /cookie/set         sets a cookie and redirects to /cookie/check,
//   /cookie/check       which answers 200 with the cookie and 403 without it
//   /slow               answers 200 after a short pause
//   /stall              sends nothing until the server is stopped (at most 10 s)
//   /drip               200, then one byte of body every 300 ms (until stopped, at most 10 s)
//   /long-header        200 with one header line of 101 KiB
//   /big                a 1 MiB body
//   /agent              200 when the user agent is "Tolva", 400 otherwise
//   /with space/é       200 (the path as decoded by the server)
//   /hold/N             200 after 150 ms; MaxInFlight counts how many were under way at once
//   /retry-after/N      429 with "Retry-After: 1" to the first request of the path, 200 later
//   /flaky/N            503 (no Retry-After) to the first request of the path, 200 later
//   /browser            200 to a browser's request headers (a Mozilla agent and Accept-Language), 403 else
//   /web/[TIMESTAMP/]URL a web archive: a redirect (302) to its copy of URL at /web/DAY000000id_/URL, DAY
//                       the timestamp's day (20200101 without one), which answers 200; 404 for a URL
//                       holding "never-archived"
// Nothing here ever talks to anything but loopback.

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tolva::testing {

class LoopbackServer {
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool Running() const;
    int Port() const;
    // "http://127.0.0.1:<port>" followed by path.
    std::string Url(const std::string& path) const;
    // Requests received so far for path, and for every path that starts with prefix.
    int Hits(const std::string& path) const;
    int HitsUnder(const std::string& prefix) const;
    // Requests to /stall that have arrived (they are answered only when the server stops).
    int StallsStarted() const;
    // The most /hold requests that were under way at the same time.
    int MaxInFlight() const;

    struct State;

private:
    std::unique_ptr<State> state_;
};

// A bookmark file with one folder, "Work", holding links given as name and server path (or
// a whole URL).
std::string WorkBookmarks(const LoopbackServer& server, const std::vector<std::pair<std::string, std::string>>& links);

// A loopback port that is bound but never listens, so connections to it are refused, and
// no other program can take it while the object lives.
class RefusedPort {
public:
    RefusedPort();
    ~RefusedPort();
    RefusedPort(const RefusedPort&) = delete;
    RefusedPort& operator=(const RefusedPort&) = delete;
    int Port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = -1;
};

}  // namespace tolva::testing
