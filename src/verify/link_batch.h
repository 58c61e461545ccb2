#pragma once
// Many link requests at once (verify --jobs): one worker thread drives every transfer through
// libcurl's multi interface, which also keeps connections and looked-up names for reuse. The
// run queues every URL it will need in document order and takes the outcomes, tagged with
// their request numbers, from its Waiter as they come; it applies them in document order
// itself, so the order in which replies arrive never shows in the set.
//
// Politeness: at most perHost transfers go to one host (name and port) at a time, and a 429
// or 503 reply with Retry-After holds that host's next request until then (at most 60 s); the
// link itself is asked once more after the hold. With confirm, links that failed in a way
// that is often passing (a time-out, a refused or reset connection, 403, 408, 429, 5xx) are
// asked once more after every other request is done, one at a time per host, a 403 with a
// browser's request headers; only that second outcome is posted.

#include <memory>
#include <string>
#include <thread>

#include "verify/link_request.h"
#include "verify/waiter.h"

namespace tolva {

struct BatchOptions {
    int jobs = 1;     // transfers at once
    int perHost = 2;  // transfers at once to one host
    bool confirm = false;
};

// Limits of the options, as the front ends offer them.
inline constexpr int kMaxJobs = 64;
inline constexpr int kDefaultPerHost = 2;

class LinkBatch {
public:
    // Null when the machinery cannot be set up.
    static std::unique_ptr<LinkBatch> Create(const LinkRequestOptions& options, const BatchOptions& batch,
                                             Waiter& waiter);
    ~LinkBatch();
    LinkBatch(const LinkBatch&) = delete;
    LinkBatch& operator=(const LinkBatch&) = delete;

    // Queues a request for url and returns its number (1, 2, ...). Requests start in the order
    // they were queued, as far as the limits allow; an urgent one (a repaired URL the person
    // waits for) goes before all that are queued. Its records: Started, its status texts and
    // one Completion.
    unsigned Add(const std::string& url, bool urgent = false);
    // Stops every transfer at once; nothing more is started or posted.
    void Abort();

    struct Worker;

private:
    explicit LinkBatch(std::unique_ptr<Worker> worker);
    std::unique_ptr<Worker> worker_;
    std::thread thread_;
};

// The host a request goes to, for the per-host limits: the lower-case host name and the port
// ("example.com:443"); empty when the URL names none.
std::string HostKeyOf(const std::string& url);

// Whether a failure is worth a second try before the link is put aside (--confirm).
bool IsWorthConfirming(const RequestOutcome& outcome);

}  // namespace tolva
