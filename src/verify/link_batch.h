#pragma once
// The request engine of a verification run: one worker thread drives every transfer through
// libcurl's multi interface, which keeps connections for reuse; the transfers share looked-up
// names, TLS sessions and, when accepted, cookies (CurlShared). A request waiting for its host's
// other requests is not handed to libcurl yet, so its time-out runs from its own start. The
// run queues the URLs it needs and takes the outcomes, tagged with their request numbers, from
// its Waiter as they come. The default run queues one link at a time and waits for it, with no
// holds; a run of many at once queues every URL in document order and applies the outcomes in
// document order itself, so the order in which replies arrive never shows in the set. Which
// request starts when is the HostSchedule's to say (host_schedule.h).

#include <memory>
#include <string>
#include <thread>

#include "verify/request_options.h"
#include "verify/waiter.h"

namespace tolva {

struct BatchOptions {
    int jobs = 1;     // transfers at once
    int perHost = 2;  // transfers at once to one host
    bool confirm = false;
    bool holds = true;  // honour Retry-After (the default run judges every reply as it comes)
};

// The default run: one request at a time, every reply its link's verdict.
inline constexpr BatchOptions kOneAtATime{1, 1, false, false};

// What a request does with a redirect: a link's follows them to its reply; an archive's answer
// is the redirect itself (its Location in the outcome), and its first outcome is its verdict.
enum class Redirects { Follow, Read };

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
    // one Completion (which carries "Request complete" when a transfer took place).
    unsigned Add(const std::string& url, bool urgent = false, Redirects redirects = Redirects::Follow);
    // Starts nothing more; the transfers under way go on to their outcomes.
    void StopStarting();
    // Stops every transfer at once; nothing more is started or posted.
    void Abort();

    struct Worker;

private:
    explicit LinkBatch(std::unique_ptr<Worker> worker);
    std::unique_ptr<Worker> worker_;
    std::thread thread_;
};

}  // namespace tolva
