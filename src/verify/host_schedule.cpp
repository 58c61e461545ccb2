#include "verify/host_schedule.h"

#include <algorithm>
#include <string_view>

#include "platform/ascii.h"
#include "verify/request_errors.h"
#include "verify/request_url.h"

namespace tolva {

namespace {

constexpr long kTooManyRequests = 429;
constexpr long kServiceUnavailable = 503;
constexpr long kForbidden = 403;
constexpr long kRequestTimeout = 408;
constexpr long kFirstServerError = 500;

bool AsksToWait(const RequestOutcome& outcome) {
    return outcome.kind == RequestOutcome::Reply &&
           (outcome.httpCode == kTooManyRequests || outcome.httpCode == kServiceUnavailable);
}

}  // namespace

std::string HostKeyOf(const std::string& url) {
    std::string_view scheme = SchemeOf(url);
    if (scheme.empty()) return {};
    std::string_view rest = std::string_view(url).substr(scheme.size() + 1);
    if (!rest.starts_with("//")) return {};
    rest.remove_prefix(2);
    std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) authority.remove_prefix(at + 1);
    std::string key = LowerAscii(std::string(authority));
    std::size_t bracket = key.rfind(']');
    std::size_t colon = key.rfind(':');
    bool hasPort = colon != std::string::npos && (bracket == std::string::npos || colon > bracket);
    if (!hasPort) {
        std::string lower = LowerAscii(std::string(scheme));
        key += lower == "https" ? ":443" : lower == "ftp" ? ":21" : ":80";
    }
    return key;
}

bool IsWorthConfirming(const RequestOutcome& outcome) {
    if (outcome.kind == RequestOutcome::Reply) {
        long code = outcome.httpCode;
        return code == kForbidden || code == kRequestTimeout || code == kTooManyRequests || code >= kFirstServerError;
    }
    if (outcome.kind != RequestOutcome::NoReply) return false;
    switch (outcome.error) {
        case request_error::kTimeout:
        case request_error::kCannotConnect:
        case request_error::kConnectionReset:
        case request_error::kInvalidServerResponse:  // the server closed without a reply
            return true;
        default:
            return false;
    }
}

HostSchedule::HostSchedule(const ScheduleLimits& limits) : limits_(limits) {}

std::size_t HostSchedule::Add(const std::string& hostKey, bool urgent, bool confirmable) {
    Job job;
    job.confirmable = confirmable;
    auto [found, inserted] = hostIndex_.try_emplace(hostKey, static_cast<int>(hosts_.size()));
    if (inserted) hosts_.emplace_back();
    job.host = found->second;
    job.key = urgent ? nextUrgentKey_-- : nextKey_++;
    jobs_.push_back(job);
    passLeft_ += 1;
    Enqueue(jobs_.size() - 1, urgent);
    return jobs_.size() - 1;
}

void HostSchedule::Enqueue(std::size_t job, bool front) {
    const int hostIndex = jobs_[job].host;
    Host& host = hosts_[hostIndex];
    if (!host.queue.empty()) heads_.erase({jobs_[host.queue.front()].key, hostIndex});
    if (front) {
        host.queue.push_front(job);
    } else {
        host.queue.push_back(job);
    }
    heads_.insert({jobs_[host.queue.front()].key, hostIndex});
}

std::optional<std::size_t> HostSchedule::Next(ScheduleTime now) {
    if (stopped_ || inFlight_ >= limits_.jobs) return std::nullopt;
    if (passLeft_ == 0 && !toConfirm_.empty()) {
        // The pass is over: the second tries go now, in document order.
        for (std::size_t job : toConfirm_) {
            jobs_[job].confirming = true;
            Enqueue(job, false);
        }
        toConfirm_.clear();
    }
    for (auto it = heads_.begin(); it != heads_.end(); ++it) {
        const int hostIndex = it->second;
        Host& host = hosts_[hostIndex];
        const std::size_t job = host.queue.front();
        // Second tries go to a host one at a time: it may have failed under load.
        const int limit = jobs_[job].confirming ? 1 : limits_.perHost;
        if (host.heldUntil > now || host.inFlight >= limit) continue;
        heads_.erase(it);
        host.queue.pop_front();
        if (!host.queue.empty()) heads_.insert({jobs_[host.queue.front()].key, hostIndex});
        host.inFlight += 1;
        inFlight_ += 1;
        return job;
    }
    return std::nullopt;
}

bool HostSchedule::Hold(std::size_t job, const RequestOutcome& outcome, ScheduleTime now) {
    Job& j = jobs_[job];
    Host& host = hosts_[j.host];
    if (!limits_.holds || host.released || !AsksToWait(outcome)) return false;
    if (j.heldOnce) {
        // Held and refused again: waiting more would not help this host's other links either.
        host.released = true;
        host.heldUntil = ScheduleTime{};
        return false;
    }
    if (outcome.retryAfterSeconds <= 0) return false;
    const ScheduleTime waitEnd = host.firstHold.value_or(now) + kMaxHostWait;
    if (now >= waitEnd) return false;
    const auto left = std::chrono::duration_cast<std::chrono::seconds>(waitEnd - now).count();
    if (outcome.retryAfterSeconds > left) return false;  // longer than the run will wait
    if (!host.firstHold) host.firstHold = now;
    host.heldUntil = std::max(host.heldUntil, now + std::chrono::seconds(outcome.retryAfterSeconds));
    j.heldOnce = true;
    Enqueue(job, true);
    return true;
}

bool HostSchedule::Finished(std::size_t job, const RequestOutcome& outcome, ScheduleTime now) {
    Job& j = jobs_[job];
    Host& host = hosts_[j.host];
    host.inFlight -= 1;
    inFlight_ -= 1;
    if (Hold(job, outcome, now)) return false;
    if (j.confirming) return true;
    passLeft_ -= 1;
    if (limits_.confirm && j.confirmable && IsWorthConfirming(outcome)) {
        j.asBrowser = outcome.kind == RequestOutcome::Reply && outcome.httpCode == kForbidden;
        toConfirm_.push_back(job);
        return false;
    }
    return true;
}

std::optional<ScheduleTime> HostSchedule::HoldEnd(ScheduleTime now) const {
    std::optional<ScheduleTime> end;
    for (const auto& [key, hostIndex] : heads_) {
        const ScheduleTime until = hosts_[hostIndex].heldUntil;
        if (until > now && (!end || until < *end)) end = until;
    }
    return end;
}

}  // namespace tolva
