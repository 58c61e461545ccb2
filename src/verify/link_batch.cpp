#include "verify/link_batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <system_error>
#include <unordered_map>
#include <utility>
#include <vector>

#include "resources/strings.h"
#include "verify/host_schedule.h"
#include "verify/request_errors.h"
#include "verify/transfer.h"

namespace tolva {

namespace {

using Clock = ScheduleClock;

// The worker looks at its queue at least this often while transfers are quiet.
constexpr auto kIdlePoll = std::chrono::milliseconds(1000);
// A status posted quietly is shown once it has waited this long for a completion to carry it.
constexpr auto kQuietStatusDelay = std::chrono::milliseconds(100);

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

struct LinkBatch::Worker final : TransferSink {
    struct Job {
        std::string url;
        Redirects redirects = Redirects::Follow;
        long elapsedMs = 0;
        Clock::time_point started;
    };
    // One easy handle with its transfer state; kept for the next job when its transfer ends.
    struct Active {
        CurlEasy handle;
        Transfer transfer;
        std::size_t job = 0;
        int attempt = 0;
        bool folderTried = false;
    };

    Worker(const LinkRequestOptions& requestOptions, const BatchOptions& batchOptions, Waiter& runWaiter)
        : options(requestOptions),
          batch(batchOptions),
          waiter(runWaiter),
          schedule_({batch.jobs, batch.perHost, batch.confirm, batch.holds}) {}
    ~Worker() override { DropEverything(); }

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
    void Schedule();
    void Start(std::size_t job);
    bool Again(Active& active, CURLcode code);
    void Finish(CURL* handle, CURLcode code);
    void Complete(std::size_t job, RequestOutcome outcome, bool transferred);
    void DropEverything();
    int PollTimeoutMs() const;

    const LinkRequestOptions options;
    const BatchOptions batch;
    Waiter& waiter;
    // Declared before every handle, so that it goes after them.
    std::unique_ptr<CurlShared> shared;
    CurlMulti multi;
    CurlList browserHeaders;

    // Shared with the run's thread.
    std::mutex mutex;
    struct Incoming {
        std::string url;
        bool urgent;
        Redirects redirects;
    };
    std::vector<Incoming> inbox;
    unsigned added = 0;
    bool quit = false;
    std::atomic<bool> stopStarting{false};
    std::atomic<bool> aborted{false};

    // The worker's own.
    HostSchedule schedule_;
    std::vector<Job> jobs_;  // job i has request number i + 1
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
        schedule_.Add(HostKeyOf(in.url), in.urgent, in.redirects == Redirects::Follow);
        jobs_.push_back(Job{std::move(in.url), in.redirects, 0, {}});
    }
}

void LinkBatch::Worker::Schedule() {
    if (stopStarting.load()) schedule_.StopStarting();
    while (std::optional<std::size_t> job = schedule_.Next(Clock::now())) Start(*job);
}

void LinkBatch::Worker::Start(std::size_t job) {
    const CurlLibrary& curl = *Curl();
    std::unique_ptr<Active> active;
    if (!idle_.empty()) {
        active = std::move(idle_.back());
        idle_.pop_back();
    } else {
        active = std::make_unique<Active>();
        active->handle.reset(curl.easy_init());
        if (!active->handle) {
            RequestOutcome failed;
            failed.error = request_error::kInternal;
            Complete(job, failed, false);
            return;
        }
        active->transfer.sink = this;
        ConfigureTransfer(active->handle.get(), options, &active->transfer);
        curl.easy_setopt(active->handle.get(), CURLOPT_SHARE, shared->Get());
    }
    Job& j = jobs_[job];
    j.started = Clock::now();
    active->job = job;
    active->attempt = 0;
    active->folderTried = false;
    active->transfer.number = static_cast<unsigned>(job + 1);
    active->transfer.ResetAttempt();

    RequestRecord started;
    started.requestNumber = static_cast<unsigned>(job + 1);
    started.kind = RequestRecord::Started;
    Post(std::move(started), false);

    CURL* handle = active->handle.get();
    RequestOutcome refusal;
    if (!PrepareTransfer(handle, j.url, active->transfer, refusal)) {
        idle_.push_back(std::move(active));
        Complete(job, refusal, false);
        return;
    }
    // A handle serves many jobs: what one job sends differently is set for every job.
    const bool asBrowser = schedule_.AsBrowser(job);
    const char* agent = !options.userAgent.empty() ? options.userAgent.c_str()
                        : asBrowser                ? kBrowserAgent
                                                   : kDefaultUserAgent;
    curl.easy_setopt(handle, CURLOPT_HTTPHEADER, asBrowser ? browserHeaders.get() : nullptr);
    curl.easy_setopt(handle, CURLOPT_USERAGENT, agent);
    curl.easy_setopt(handle, CURLOPT_FOLLOWLOCATION, j.redirects == Redirects::Follow ? 1L : 0L);
    if (curl.multi_add_handle(multi.get(), handle) != CURLM_OK) {
        idle_.push_back(std::move(active));
        RequestOutcome failed;
        failed.error = request_error::kInternal;
        Complete(job, failed, false);
        return;
    }
    active_.emplace(handle, std::move(active));
}

// Whether the transfer goes once more on the same handle: a connection that could not be made
// (as often as the retries allow), or an FTP name that is a folder.
bool LinkBatch::Worker::Again(Active& active, CURLcode code) {
    const CurlLibrary& curl = *Curl();
    CURL* handle = active.handle.get();
    if (IsConnectFailure(code, handle) && active.attempt < options.retryCount) {
        active.attempt += 1;
    } else if (!active.folderTried && WantsFolderRetry(active.transfer, code)) {
        active.folderTried = true;
        active.transfer.sent += "/";
        curl.easy_setopt(handle, CURLOPT_URL, active.transfer.sent.c_str());
    } else {
        return false;
    }
    active.transfer.ResetAttempt();
    curl.multi_remove_handle(multi.get(), handle);
    curl.multi_add_handle(multi.get(), handle);
    return true;
}

void LinkBatch::Worker::Finish(CURL* handle, CURLcode code) {
    auto found = active_.find(handle);
    if (aborted.load() || found == active_.end()) return;
    Active& active = *found->second;
    if (Again(active, code)) return;
    RequestOutcome outcome = OutcomeOf(handle, code, active.transfer);
    const std::size_t job = active.job;
    Curl()->multi_remove_handle(multi.get(), handle);
    idle_.push_back(std::move(found->second));
    active_.erase(found);
    Complete(job, std::move(outcome), true);
}

void LinkBatch::Worker::Complete(std::size_t job, RequestOutcome outcome, bool transferred) {
    Job& j = jobs_[job];
    j.elapsedMs += MillisecondsSince(j.started);
    if (!schedule_.Finished(job, outcome, Clock::now())) return;
    outcome.elapsedMs = j.elapsedMs;
    RequestRecord record;
    record.requestNumber = static_cast<unsigned>(job + 1);
    record.kind = RequestRecord::Completion;
    // The end of the transfer: its status text travels with the outcome (one wake-up less).
    if (transferred) record.statusText = LoadString(IDS_STATUS_REQUEST_COMPLETE);
    record.outcome = std::move(outcome);
    Post(std::move(record), true);
}

void LinkBatch::Worker::DropEverything() {
    for (auto& [handle, active] : active_) {
        Curl()->multi_remove_handle(multi.get(), handle);
        idle_.push_back(std::move(active));
    }
    active_.clear();
    schedule_.StopStarting();
}

int LinkBatch::Worker::PollTimeoutMs() const {
    const auto now = Clock::now();
    auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(kIdlePoll);
    if (quiet_) wait = std::min(wait, kQuietStatusDelay);
    if (std::optional<Clock::time_point> holdEnd = schedule_.HoldEnd(now)) {
        wait = std::min(
            wait, std::chrono::duration_cast<std::chrono::milliseconds>(*holdEnd - now) + std::chrono::milliseconds(1));
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
            curl.multi_poll(multi.get(), nullptr, 0, static_cast<int>(kIdlePoll.count()), nullptr);
            continue;
        }
        TakeInbox();
        Schedule();
        int running = 0;
        curl.multi_perform(multi.get(), &running);
        for (bool finished = true; finished;) {
            finished = false;
            int left = 0;
            while (CURLMsg* message = curl.multi_info_read(multi.get(), &left)) {
                if (message->msg != CURLMSG_DONE) continue;
                Finish(message->easy_handle, message->data.result);
                finished = true;
            }
            if (finished) {
                Schedule();
                curl.multi_perform(multi.get(), &running);
            }
        }
        if (quiet_ && Clock::now() - quietSince_ >= kQuietStatusDelay) {
            quiet_ = false;
            waiter.Signal();
        }
        curl.multi_poll(multi.get(), nullptr, 0, PollTimeoutMs(), nullptr);
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
    worker->shared = CurlShared::Create(options.acceptCookies);
    worker->multi.reset(curl->multi_init());
    if (!worker->shared || !worker->multi) return nullptr;
    for (const char* header : kBrowserHeaders) {
        curl_slist* list = curl->slist_append(worker->browserHeaders.get(), header);
        if (list == nullptr) return nullptr;
        // The first append makes the list; later ones give back the same head.
        if (!worker->browserHeaders) worker->browserHeaders.reset(list);
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
        Curl()->multi_wakeup(worker_->multi.get());
        thread_.join();
    }
}

unsigned LinkBatch::Add(const std::string& url, bool urgent, Redirects redirects) {
    unsigned number = 0;
    {
        std::lock_guard<std::mutex> lock(worker_->mutex);
        worker_->inbox.push_back({url, urgent, redirects});
        number = ++worker_->added;
    }
    Curl()->multi_wakeup(worker_->multi.get());
    return number;
}

void LinkBatch::StopStarting() {
    worker_->stopStarting.store(true);
    Curl()->multi_wakeup(worker_->multi.get());
}

void LinkBatch::Abort() {
    worker_->aborted.store(true);
    Curl()->multi_wakeup(worker_->multi.get());
}

}  // namespace tolva
