#pragma once
// Which link request goes next, and when: the per-host rules of the request engine, kept apart
// from libcurl so that they can be tested with a clock of the test's own. The engine tells the
// schedule of every request it queues and of every outcome, and asks it which request may start
// now and until when it may sleep; the schedule never looks at a clock itself.
//
// The rules: requests start in the order they were queued (an urgent one before all others) as
// far as jobs (in all) and perHost (to one host) allow. With holds, a 429 or 503 reply with a
// Retry-After that ends within the host's wait still left (kMaxHostWait for each host and run,
// counted from its first hold) holds that host until then, and that link is asked once more
// when the hold ends; a longer Retry-After is not waited for, and the reply is the link's
// verdict. A link asked again after a hold that is answered 429 or 503 once more is judged by
// that reply, and its host is never held again in the run: its waiting links are asked at once.
// With confirm, links that failed in a way that is often passing are asked once more after
// every other request is done, one at a time per host, a refused (403) one as a browser.

#include <chrono>
#include <cstddef>
#include <deque>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "verify/waiter.h"

namespace tolva {

using ScheduleClock = std::chrono::steady_clock;
using ScheduleTime = ScheduleClock::time_point;

// The longest a host may be held in all during one run.
inline constexpr std::chrono::seconds kMaxHostWait{60};

struct ScheduleLimits {
    int jobs = 1;     // requests at once
    int perHost = 1;  // requests at once to one host
    bool confirm = false;
    bool holds = false;  // honour Retry-After; without it every reply is its link's verdict at once
};

class HostSchedule {
public:
    explicit HostSchedule(const ScheduleLimits& limits);

    // Queues a request to the host (HostKeyOf) and returns its job index: 0, 1, ... A request
    // that is not confirmable (an archive's answer) is never asked a second time for confirm.
    std::size_t Add(const std::string& hostKey, bool urgent, bool confirmable = true);
    // The job to start now, if any may; it counts as in flight until Finished.
    std::optional<std::size_t> Next(ScheduleTime now);
    // Takes the outcome of a job in flight (or one that could not be started): true when it is
    // the job's verdict, false when the job was queued again (after a hold, or for confirm).
    bool Finished(std::size_t job, const RequestOutcome& outcome, ScheduleTime now);
    // When a host that has queued jobs is held until; none when no such host is held.
    std::optional<ScheduleTime> HoldEnd(ScheduleTime now) const;
    // Whether the job is to be asked with a browser's request headers (the second try of a 403).
    bool AsBrowser(std::size_t job) const { return jobs_[job].asBrowser; }
    // Nothing starts any more: the run is stopping.
    void StopStarting() { stopped_ = true; }
    int InFlight() const { return inFlight_; }

private:
    struct Job {
        int host = 0;
        long long key = 0;        // queue order: lower first
        bool confirming = false;  // the second try of confirm
        bool heldOnce = false;    // already held by a Retry-After
        bool asBrowser = false;
        bool confirmable = true;
    };
    struct Host {
        int inFlight = 0;
        ScheduleTime heldUntil{};
        std::optional<ScheduleTime> firstHold;  // when its wait began
        bool released = false;                  // never held again
        std::deque<std::size_t> queue;          // job indexes, in order of key
    };
    void Enqueue(std::size_t job, bool front);
    bool Hold(std::size_t job, const RequestOutcome& outcome, ScheduleTime now);

    const ScheduleLimits limits_;
    std::vector<Job> jobs_;
    std::vector<Host> hosts_;
    std::unordered_map<std::string, int> hostIndex_;
    std::set<std::pair<long long, int>> heads_;  // (key of the first queued job, host) of every host with a queue
    long long nextKey_ = 0;
    long long nextUrgentKey_ = -1;
    int passLeft_ = 0;  // jobs of the first pass without a verdict or a place in the second
    std::vector<std::size_t> toConfirm_;
    int inFlight_ = 0;
    bool stopped_ = false;
};

// The host a request goes to, for the per-host limits: the lower-case host name and the port
// ("example.com:443"); empty when the URL names none.
std::string HostKeyOf(const std::string& url);

// Whether a failure is worth a second try before the link is put aside (confirm).
bool IsWorthConfirming(const RequestOutcome& outcome);

}  // namespace tolva
