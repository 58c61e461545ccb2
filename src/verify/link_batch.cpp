#include "verify/link_batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <mutex>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ascii.h"
#include "resources/strings.h"
#include "verify/request_errors.h"
#include "verify/transfer.h"

namespace tolva {

namespace {

using Clock = std::chrono::steady_clock;

// A Retry-After longer than this is not waited for in full.
constexpr long kMaxRetryAfterSeconds = 60;
// The worker looks at its queue at least this often while transfers are quiet.
constexpr int kIdlePollMs = 1000;
// A status posted quietly is shown once it has waited this long for a completion to carry it.
constexpr auto kQuietStatusDelay = std::chrono::milliseconds(100);
constexpr long kTooManyRequests = 429;
constexpr long kServiceUnavailable = 503;
constexpr long kForbidden = 403;
constexpr long kRequestTimeout = 408;
constexpr long kFirstServerError = 500;

// What a browser sends, for the second try of a link that a server refused (403): sites that
// refuse clients they do not know are the main source of false verdicts.
constexpr char kBrowserAgent[] = "Mozilla/5.0 (X11; Linux x86_64; rv:115.0) Gecko/20100101 Firefox/115.0";
constexpr const char* kBrowserHeaders[] = {
    "Accept: text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8",
    "Accept-Language: en-US,en;q=0.5",
};

long MillisecondsSince(Clock::time_point start) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
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

struct LinkBatch::Worker final : TransferSink {
    struct Job {
        std::string url;
        int host = 0;
        long long key = 0;        // queue order: lower first
        bool confirming = false;  // the second try of --confirm
        bool heldOnce = false;    // already asked again after a Retry-After
        bool asBrowser = false;   // the second try of a refused (403) link
        long elapsedMs = 0;
        Clock::time_point started;
    };
    struct Host {
        int inFlight = 0;
        Clock::time_point heldUntil{};
        std::deque<unsigned> queue;  // job indexes, in order of key
    };
    // One easy handle with its transfer state; kept for the next job when its transfer ends.
    struct Active {
        CURL* handle = nullptr;
        Transfer transfer;
        unsigned job = 0;
        int attempt = 0;
        bool folderTried = false;
        ~Active() {
            if (handle) Curl()->easy_cleanup(handle);
        }
    };

    Worker(const LinkRequestOptions& requestOptions, const BatchOptions& batchOptions, Waiter& runWaiter)
        : options(requestOptions), batch(batchOptions), waiter(runWaiter) {}
    ~Worker() override {
        const CurlLibrary& curl = *Curl();
        for (auto& [handle, active] : active_) curl.multi_remove_handle(multi, handle);
        active_.clear();
        idle_.clear();
        if (multi) curl.multi_cleanup(multi);
        if (browserHeaders) curl.slist_free_all(browserHeaders);
    }

    void PostStatus(unsigned number, int textId, bool signal) override {
        RequestRecord record;
        record.requestNumber = number;
        record.kind = RequestRecord::Status;
        record.statusText = LoadString(textId);
        Post(std::move(record), signal);
    }
    bool OnTransferProgress() override { return aborted.load(); }

    void Post(RequestRecord record, bool signal) {
        if (signal) {
            quiet_ = false;
        } else if (!quiet_) {
            quiet_ = true;
            quietSince_ = Clock::now();
        }
        waiter.Post(std::move(record), signal);
    }

    void Loop();
    void TakeInbox();
    void Enqueue(unsigned job, bool front);
    void Schedule();
    void Start(unsigned job);
    void Finish(CURL* handle, CURLcode code);
    void Complete(unsigned job, RequestOutcome outcome);
    void Release(CURL* handle);
    void DropEverything();
    int PollTimeoutMs() const;

    const LinkRequestOptions options;
    const BatchOptions batch;
    Waiter& waiter;
    CURLM* multi = nullptr;
    curl_slist* browserHeaders = nullptr;

    // Shared with the run's thread.
    std::mutex mutex;
    struct Incoming {
        std::string url;
        bool urgent;
    };
    std::vector<Incoming> inbox;
    unsigned added = 0;
    bool quit = false;
    std::atomic<bool> aborted{false};

    // The worker's own.
    std::vector<Job> jobs_;  // job i has request number i + 1
    std::vector<Host> hosts_;
    std::unordered_map<std::string, int> hostIndex_;
    std::set<std::pair<long long, int>> heads_;  // (key of the first queued job, host) of every host with a queue
    long long nextKey_ = 0;
    long long nextUrgentKey_ = -1;
    int passLeft_ = 0;  // jobs of the first pass not yet finished
    std::vector<unsigned> toConfirm_;
    std::unordered_map<CURL*, std::unique_ptr<Active>> active_;
    std::vector<std::unique_ptr<Active>> idle_;
    bool quiet_ = false;
    Clock::time_point quietSince_{};
};

void LinkBatch::Worker::TakeInbox() {
    std::vector<Incoming> incoming;
    {
        std::lock_guard<std::mutex> lock(mutex);
        incoming.swap(inbox);
    }
    for (Incoming& in : incoming) {
        Job job;
        job.url = std::move(in.url);
        std::string key = HostKeyOf(job.url);
        auto [found, inserted] = hostIndex_.try_emplace(key, static_cast<int>(hosts_.size()));
        if (inserted) hosts_.emplace_back();
        job.host = found->second;
        job.key = in.urgent ? nextUrgentKey_-- : nextKey_++;
        jobs_.push_back(std::move(job));
        passLeft_ += 1;
        Enqueue(static_cast<unsigned>(jobs_.size() - 1), in.urgent);
    }
}

void LinkBatch::Worker::Enqueue(unsigned job, bool front) {
    Host& host = hosts_[jobs_[job].host];
    if (!host.queue.empty()) heads_.erase({jobs_[host.queue.front()].key, jobs_[job].host});
    if (front) {
        host.queue.push_front(job);
    } else {
        host.queue.push_back(job);
    }
    heads_.insert({jobs_[host.queue.front()].key, jobs_[job].host});
}

void LinkBatch::Worker::Schedule() {
    if (aborted.load()) return;
    if (passLeft_ == 0 && !toConfirm_.empty()) {
        // The pass is over: the second tries go now, in document order.
        for (unsigned job : toConfirm_) {
            jobs_[job].confirming = true;
            Enqueue(job, false);
        }
        toConfirm_.clear();
    }
    const auto now = Clock::now();
    for (auto it = heads_.begin(); it != heads_.end() && static_cast<int>(active_.size()) < batch.jobs;) {
        int hostIndex = it->second;
        Host& host = hosts_[hostIndex];
        unsigned job = host.queue.front();
        // Second tries go to a host one at a time: it may have failed under load.
        int limit = jobs_[job].confirming ? 1 : batch.perHost;
        if (host.heldUntil > now || host.inFlight >= limit) {
            ++it;
            continue;
        }
        it = heads_.erase(it);
        host.queue.pop_front();
        if (!host.queue.empty()) heads_.insert({jobs_[host.queue.front()].key, hostIndex});
        Start(job);
    }
}

void LinkBatch::Worker::Start(unsigned job) {
    const CurlLibrary& curl = *Curl();
    std::unique_ptr<Active> active;
    if (!idle_.empty()) {
        active = std::move(idle_.back());
        idle_.pop_back();
    } else {
        active = std::make_unique<Active>();
        active->handle = curl.easy_init();
        if (active->handle == nullptr) {
            RequestOutcome failed;
            failed.error = request_error::kInternal;
            Complete(job, failed);
            return;
        }
        active->transfer.sink = this;
        ConfigureTransfer(active->handle, options, &active->transfer);
    }
    Job& j = jobs_[job];
    j.started = Clock::now();
    active->job = job;
    active->attempt = 0;
    active->folderTried = false;
    active->transfer.number = job + 1;
    active->transfer.ResetAttempt();

    RequestRecord started;
    started.requestNumber = job + 1;
    started.kind = RequestRecord::Started;
    Post(std::move(started), false);

    RequestOutcome refusal;
    if (!PrepareTransfer(active->handle, j.url, active->transfer, refusal)) {
        idle_.push_back(std::move(active));
        Complete(job, refusal);
        return;
    }
    // A handle serves many jobs: what one job sends differently is set for every job.
    const char* agent = !options.userAgent.empty() ? options.userAgent.c_str()
                        : j.asBrowser              ? kBrowserAgent
                                                   : kDefaultUserAgent;
    curl.easy_setopt(active->handle, CURLOPT_HTTPHEADER, j.asBrowser ? browserHeaders : nullptr);
    curl.easy_setopt(active->handle, CURLOPT_USERAGENT, agent);
    CURL* handle = active->handle;
    if (curl.multi_add_handle(multi, handle) != CURLM_OK) {
        idle_.push_back(std::move(active));
        RequestOutcome failed;
        failed.error = request_error::kInternal;
        Complete(job, failed);
        return;
    }
    hosts_[j.host].inFlight += 1;
    active_.emplace(handle, std::move(active));
}

void LinkBatch::Worker::Release(CURL* handle) {
    auto found = active_.find(handle);
    Curl()->multi_remove_handle(multi, handle);
    hosts_[jobs_[found->second->job].host].inFlight -= 1;
    idle_.push_back(std::move(found->second));
    active_.erase(found);
}

void LinkBatch::Worker::Finish(CURL* handle, CURLcode code) {
    const CurlLibrary& curl = *Curl();
    Active& active = *active_.at(handle);
    if (aborted.load()) return;
    // A connection that could not be made is tried again, as the one-at-a-time run does.
    if (IsConnectFailure(code, handle) && active.attempt < options.retryCount) {
        active.attempt += 1;
        active.transfer.ResetAttempt();
        curl.multi_remove_handle(multi, handle);
        curl.multi_add_handle(multi, handle);
        return;
    }
    if (!active.folderTried && WantsFolderRetry(active.transfer, code)) {
        active.folderTried = true;
        std::string folder = active.transfer.sent + "/";
        active.transfer.sent = folder;
        active.transfer.ResetAttempt();
        curl.multi_remove_handle(multi, handle);
        curl.easy_setopt(handle, CURLOPT_URL, active.transfer.sent.c_str());
        curl.multi_add_handle(multi, handle);
        return;
    }
    RequestOutcome outcome = OutcomeOf(handle, code, active.transfer);
    unsigned job = active.job;
    Release(handle);
    Complete(job, std::move(outcome));
}

void LinkBatch::Worker::Complete(unsigned job, RequestOutcome outcome) {
    Job& j = jobs_[job];
    j.elapsedMs += MillisecondsSince(j.started);
    const bool asksToWait = outcome.kind == RequestOutcome::Reply &&
                            (outcome.httpCode == kTooManyRequests || outcome.httpCode == kServiceUnavailable) &&
                            outcome.retryAfterSeconds > 0;
    if (asksToWait) {
        Host& host = hosts_[j.host];
        auto until = Clock::now() + std::chrono::seconds(std::min(outcome.retryAfterSeconds, kMaxRetryAfterSeconds));
        host.heldUntil = std::max(host.heldUntil, until);
        if (!j.heldOnce) {
            // The server said when to come back: the link is asked again then, first of its host.
            j.heldOnce = true;
            Enqueue(job, true);
            return;
        }
    }
    if (!j.confirming) {
        passLeft_ -= 1;
        if (batch.confirm && IsWorthConfirming(outcome)) {
            j.asBrowser = outcome.kind == RequestOutcome::Reply && outcome.httpCode == kForbidden;
            toConfirm_.push_back(job);
            return;
        }
    }
    outcome.elapsedMs = j.elapsedMs;
    RequestRecord record;
    record.requestNumber = job + 1;
    record.kind = RequestRecord::Completion;
    record.statusText = LoadString(IDS_STATUS_REQUEST_COMPLETE);
    record.outcome = std::move(outcome);
    Post(std::move(record), true);
}

void LinkBatch::Worker::DropEverything() {
    const CurlLibrary& curl = *Curl();
    for (auto& [handle, active] : active_) {
        curl.multi_remove_handle(multi, handle);
        idle_.push_back(std::move(active));
    }
    active_.clear();
    heads_.clear();
    hosts_.clear();
    hostIndex_.clear();
    toConfirm_.clear();
}

int LinkBatch::Worker::PollTimeoutMs() const {
    auto now = Clock::now();
    auto wait = std::chrono::milliseconds(kIdlePollMs);
    if (quiet_) wait = std::min(wait, kQuietStatusDelay);
    for (const auto& [key, hostIndex] : heads_) {
        const Host& host = hosts_[hostIndex];
        if (host.heldUntil > now) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(host.heldUntil - now) +
                        std::chrono::milliseconds(1);
            wait = std::min(wait, left);
        }
    }
    return static_cast<int>(wait.count());
}

void LinkBatch::Worker::Loop() {
    const CurlLibrary& curl = *Curl();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (quit) return;
        }
        if (aborted.load()) {
            DropEverything();
            {
                std::lock_guard<std::mutex> lock(mutex);
                inbox.clear();
            }
            curl.multi_poll(multi, nullptr, 0, kIdlePollMs, nullptr);
            continue;
        }
        TakeInbox();
        Schedule();
        int running = 0;
        curl.multi_perform(multi, &running);
        bool finished = true;
        while (finished) {
            finished = false;
            int left = 0;
            while (CURLMsg* message = curl.multi_info_read(multi, &left)) {
                if (message->msg != CURLMSG_DONE) continue;
                Finish(message->easy_handle, message->data.result);
                finished = true;
            }
            if (finished) {
                Schedule();
                curl.multi_perform(multi, &running);
            }
        }
        if (quiet_ && Clock::now() - quietSince_ >= kQuietStatusDelay) {
            quiet_ = false;
            waiter.Signal();
        }
        curl.multi_poll(multi, nullptr, 0, PollTimeoutMs(), nullptr);
    }
}

std::unique_ptr<LinkBatch> LinkBatch::Create(const LinkRequestOptions& options, const BatchOptions& batch,
                                             Waiter& waiter) {
    const CurlLibrary* curl = Curl();
    if (!waiter.IsValid() || options.failSetup || curl == nullptr) return nullptr;
    BatchOptions limits = batch;
    limits.jobs = std::clamp(limits.jobs, 1, kMaxJobs);
    limits.perHost = std::clamp(limits.perHost, 1, kMaxJobs);
    auto worker = std::make_unique<Worker>(options, limits, waiter);
    worker->multi = curl->multi_init();
    if (worker->multi == nullptr) return nullptr;
    for (const char* header : kBrowserHeaders) {
        curl_slist* list = curl->slist_append(worker->browserHeaders, header);
        if (list == nullptr) return nullptr;
        worker->browserHeaders = list;
    }
    std::unique_ptr<LinkBatch> created(new LinkBatch(std::move(worker)));
    try {
        Worker* w = created->worker_.get();
        created->thread_ = std::thread([w] { w->Loop(); });
    } catch (const std::system_error&) {
        return nullptr;
    }
    return created;
}

LinkBatch::LinkBatch(std::unique_ptr<Worker> worker) : worker_(std::move(worker)) {}

LinkBatch::~LinkBatch() {
    if (thread_.joinable()) {
        worker_->aborted.store(true);
        {
            std::lock_guard<std::mutex> lock(worker_->mutex);
            worker_->quit = true;
        }
        Curl()->multi_wakeup(worker_->multi);
        thread_.join();
    }
}

unsigned LinkBatch::Add(const std::string& url, bool urgent) {
    unsigned number = 0;
    {
        std::lock_guard<std::mutex> lock(worker_->mutex);
        worker_->inbox.push_back({url, urgent});
        number = ++worker_->added;
    }
    Curl()->multi_wakeup(worker_->multi);
    return number;
}

void LinkBatch::Abort() {
    worker_->aborted.store(true);
    Curl()->multi_wakeup(worker_->multi);
}

}  // namespace tolva
