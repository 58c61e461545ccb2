#include "verify/link_request.h"

#include <chrono>
#include <cstdio>

#include "platform/ascii.h"
#include "resources/strings.h"
#include "verify/curl_library.h"
#include "verify/request_errors.h"
#include "verify/transfer.h"

namespace tolva {

namespace {

// How long a stop waits for the worker to give up its transfer before the worker is left
// to finish alone.
constexpr int kStopWaitMs = 5000;
// A status posted quietly is shown once the reply has been awaited this long.
constexpr auto kQuietStatusDelay = std::chrono::milliseconds(100);

struct CurlDeleter {
    void operator()(CURL* handle) const { Curl()->easy_cleanup(handle); }
};

}  // namespace

std::string_view SchemeOf(std::string_view url) {
    std::size_t i = 0;
    while (i < url.size()) {
        char c = url[i];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (c == ':') return i > 0 ? url.substr(0, i) : std::string_view();
        if (!letter && !(i > 0 && other)) return {};
        ++i;
    }
    return {};
}

bool IsRequestedScheme(std::string_view scheme) {
    return EqualsIgnoringAsciiCase(scheme, "http") || EqualsIgnoringAsciiCase(scheme, "https") ||
           EqualsIgnoringAsciiCase(scheme, "ftp");
}

std::string EncodeForRequest(const std::string& url) {
    // The host part is left alone: bytes there cannot be repaired by escaping.
    std::size_t start = 0;
    std::size_t authority = url.find("://");
    if (authority != std::string::npos) {
        start = url.find_first_of("/?#", authority + 3);
        if (start == std::string::npos) return url;
    }
    std::string out = url.substr(0, start);
    for (std::size_t i = start; i < url.size(); ++i) {
        auto byte = static_cast<unsigned char>(url[i]);
        if (byte <= 0x20 || byte >= 0x7F) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            out += escaped;
        } else {
            out += url[i];
        }
    }
    return out;
}

struct LinkRequester::Shared final : TransferSink {
    LinkRequestOptions options;
    std::unique_ptr<CURL, CurlDeleter> handle;
    Transfer transfer;  // the transfer under way; touched by the worker only

    std::mutex mutex;
    std::condition_variable changed;
    Waiter* waiter = nullptr;  // null once the owner has left the worker behind
    bool quit = false;
    bool hasJob = false;
    bool busy = false;
    std::string jobUrl;
    unsigned jobNumber = 0;
    std::atomic<bool> abort{false};
    std::string completeText;  // set when a transfer took place

    // A status posted quietly since this moment, not yet signalled.
    bool quiet = false;
    std::chrono::steady_clock::time_point quietSince;

    void Post(RequestRecord record, bool signal) {
        std::lock_guard<std::mutex> lock(mutex);
        if (waiter) waiter->Post(std::move(record), signal);
    }
    void PostStatus(unsigned number, int textId, bool signal) override {
        RequestRecord record;
        record.requestNumber = number;
        record.kind = RequestRecord::Status;
        record.statusText = LoadString(textId);
        Post(std::move(record), signal);
        if (signal) {
            quiet = false;
        } else if (!quiet) {
            quiet = true;
            quietSince = std::chrono::steady_clock::now();
        }
    }
    // Wakes the run for a quiet status once the reply is slow enough to be worth showing.
    bool OnTransferProgress() override {
        if (quiet && std::chrono::steady_clock::now() - quietSince >= kQuietStatusDelay) {
            quiet = false;
            std::lock_guard<std::mutex> lock(mutex);
            if (waiter) waiter->Signal();
        }
        return abort.load();
    }
    RequestOutcome Perform(const std::string& url);
    void Loop();
};

RequestOutcome LinkRequester::Shared::Perform(const std::string& url) {
    RequestOutcome outcome;
    CURL* h = handle.get();
    if (!PrepareTransfer(h, url, transfer, outcome)) return outcome;

    const CurlLibrary& curl = *Curl();
    int attempts = 1 + (options.retryCount > 0 ? options.retryCount : 0);
    CURLcode code = CURLE_OK;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (abort.load()) {
            outcome.kind = RequestOutcome::Stopped;
            return outcome;
        }
        transfer.ResetAttempt();
        code = curl.easy_perform(h);
        if (abort.load() && code != CURLE_OK && !(code == CURLE_WRITE_ERROR && transfer.cutShort)) {
            outcome.kind = RequestOutcome::Stopped;
            return outcome;
        }
        if (!IsConnectFailure(code, h)) break;
    }
    if (WantsFolderRetry(transfer, code)) {
        std::string folder = transfer.sent + "/";
        curl.easy_setopt(h, CURLOPT_URL, folder.c_str());
        code = curl.easy_perform(h);
        if (abort.load() && code != CURLE_OK) {
            outcome.kind = RequestOutcome::Stopped;
            return outcome;
        }
    }
    // The end of the transfer: its status text travels with the outcome (one wake-up less).
    completeText = LoadString(IDS_STATUS_REQUEST_COMPLETE);
    return OutcomeOf(h, code, transfer);
}

void LinkRequester::Shared::Loop() {
    for (;;) {
        std::string url;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return quit || hasJob; });
            if (quit) return;
            url = std::move(jobUrl);
            transfer.number = jobNumber;
            hasJob = false;
        }
        RequestRecord record;
        record.requestNumber = transfer.number;
        record.kind = RequestRecord::Completion;
        completeText.clear();
        auto started = std::chrono::steady_clock::now();
        record.outcome = Perform(url);
        record.outcome.elapsedMs = static_cast<long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count());
        record.statusText = completeText;
        quiet = false;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (waiter) waiter->Post(std::move(record));
            busy = false;
        }
        changed.notify_all();
    }
}

std::unique_ptr<LinkRequester> LinkRequester::Create(const LinkRequestOptions& options, Waiter& waiter) {
    if (!waiter.IsValid() || options.failSetup || Curl() == nullptr) return nullptr;
    auto shared = std::make_shared<Shared>();
    shared->options = options;
    shared->waiter = &waiter;
    shared->handle.reset(Curl()->easy_init());
    if (!shared->handle) return nullptr;
    shared->transfer.sink = shared.get();
    ConfigureTransfer(shared->handle.get(), shared->options, &shared->transfer);
    std::unique_ptr<LinkRequester> requester(new LinkRequester(shared));
    try {
        // The worker holds its own reference, so it can outlive an owner that had to leave
        // it behind in a transfer that would not stop.
        requester->worker_ = std::thread([shared] { shared->Loop(); });
    } catch (const std::system_error&) {
        return nullptr;
    }
    return requester;
}

LinkRequester::LinkRequester(std::shared_ptr<Shared> shared) : shared_(std::move(shared)) {}

LinkRequester::~LinkRequester() {
    if (!worker_.joinable()) return;
    Abort();
    bool idle = WaitIdle(kStopWaitMs);
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->quit = true;
        shared_->waiter = nullptr;
        shared_->changed.notify_all();
    }
    if (idle) {
        worker_.join();
    } else {
        worker_.detach();
    }
}

unsigned LinkRequester::Start(const std::string& url) {
    unsigned number = 0;
    {
        std::lock_guard<std::mutex> lock(shared_->mutex);
        shared_->abort.store(false);
        shared_->jobUrl = url;
        number = ++shared_->jobNumber;
        shared_->hasJob = true;
        shared_->busy = true;
    }
    // Notified outside the lock, so the worker does not wake only to wait for it.
    shared_->changed.notify_all();
    return number;
}

void LinkRequester::Abort() { shared_->abort.store(true); }

bool LinkRequester::WaitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(shared_->mutex);
    return shared_->changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !shared_->busy; });
}

}  // namespace tolva
