#include "verify/link_request.h"

#include <sys/socket.h>

#include <chrono>
#include <cstdio>

#include "platform/ascii.h"
#include "resources/strings.h"
#include "verify/curl_library.h"
#include "verify/request_errors.h"

namespace tolva {

namespace {

// Bodies are read only this far: enough to keep a small reply's connection reusable
// without downloading whole files to learn a status code.
constexpr std::size_t kBodyLimit = 64 * 1024;
// WinInet follows at most this many redirects; libcurl alone would follow forever.
constexpr long kMaxRedirects = 10;
// A connection that delivers nothing for this long fails as a time-out when the person
// asked for libcurl's default connect time-out (0), so an unattended run never hangs.
constexpr long kDefaultStallSeconds = 300;
// How long a stop waits for the worker to give up its transfer before the worker is left
// to finish alone.
constexpr int kStopWaitMs = 5000;
// An attempt at a link may last this many times the connect time-out in all.
constexpr int kRequestLimitFactor = 3;
// A status posted quietly is shown once the reply has been awaited this long.
constexpr auto kQuietStatusDelay = std::chrono::milliseconds(100);

struct CurlDeleter {
    void operator()(CURL* handle) const { Curl()->easy_cleanup(handle); }
};

// The scheme before the first colon, or empty text when the URL has none.
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

// Only a failure to establish the connection is tried again, as WinInet's connect
// retries are; a server that answered badly is not asked twice.
bool IsConnectFailure(CURLcode code, CURL* handle) {
    if (code == CURLE_COULDNT_CONNECT) return true;
    if (code != CURLE_OPERATION_TIMEDOUT) return false;
    curl_off_t connectTime = 0;
    Curl()->easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connectTime);
    return connectTime == 0;
}

}  // namespace

int RequestLimitSeconds(int timeoutSeconds) {
    return timeoutSeconds > 0 ? kRequestLimitFactor * timeoutSeconds : static_cast<int>(kDefaultStallSeconds);
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

struct LinkRequester::Shared {
    LinkRequestOptions options;
    std::unique_ptr<CURL, CurlDeleter> handle;

    std::mutex mutex;
    std::condition_variable changed;
    Waiter* waiter = nullptr;  // null once the owner has left the worker behind
    bool quit = false;
    bool hasJob = false;
    bool busy = false;
    std::string jobUrl;
    unsigned jobNumber = 0;
    std::atomic<bool> abort{false};

    // State of the transfer under way; touched by the worker only.
    unsigned number = 0;
    std::size_t bodyBytes = 0;
    bool cutShort = false;
    std::string reason;
    std::string completeText;  // set when a transfer took place

    // A status posted quietly since this moment, not yet signalled.
    bool quiet = false;
    std::chrono::steady_clock::time_point quietSince;

    void Post(RequestRecord record, bool signal) {
        std::lock_guard<std::mutex> lock(mutex);
        if (waiter) waiter->Post(std::move(record), signal);
    }
    void PostStatus(int textId, bool signal = true) {
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
    void FlushQuietStatus() {
        if (!quiet || std::chrono::steady_clock::now() - quietSince < kQuietStatusDelay) return;
        quiet = false;
        std::lock_guard<std::mutex> lock(mutex);
        if (waiter) waiter->Signal();
    }
    void Configure();
    RequestOutcome Perform(const std::string& url);
    void Loop();
};

namespace {

int OnResolverStart(void*, void*, void* context) {
    auto* shared = static_cast<LinkRequester::Shared*>(context);
    shared->PostStatus(IDS_STATUS_RESOLVING);
    return shared->options.refuseNameLookups ? 1 : 0;
}

curl_socket_t OnOpenSocket(void* context, curlsocktype, curl_sockaddr* address) {
    auto* shared = static_cast<LinkRequester::Shared*>(context);
    shared->PostStatus(IDS_STATUS_CONNECTING);
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// Most replies come within a few milliseconds, and then the completion shows this status
// too; posting it quietly saves the run one wake-up per request.
int OnRequestSent(void* context, char*, char*, int, int) {
    static_cast<LinkRequester::Shared*>(context)->PostStatus(IDS_STATUS_REQUEST_SENT, false);
    return CURL_PREREQFUNC_OK;
}

// Keeps the reason phrase of the last final status line: after redirects and interim
// 1xx replies, that is the reply the link is judged by.
std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto* shared = static_cast<LinkRequester::Shared*>(context);
    std::string_view line(data, size * count);
    if (line.starts_with("HTTP/")) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
        std::size_t codeStart = line.find(' ');
        if (codeStart != std::string_view::npos) {
            std::string_view rest = line.substr(codeStart + 1);
            std::string_view code = rest.substr(0, rest.find(' '));
            if (!code.starts_with('1')) {
                std::size_t reasonStart = rest.find(' ');
                shared->reason =
                    reasonStart == std::string_view::npos ? std::string() : std::string(rest.substr(reasonStart + 1));
            }
        }
    }
    return size * count;
}

std::size_t OnBody(char*, std::size_t size, std::size_t count, void* context) {
    auto* shared = static_cast<LinkRequester::Shared*>(context);
    shared->bodyBytes += size * count;
    if (shared->bodyBytes > kBodyLimit) {
        shared->cutShort = true;
        return 0;
    }
    return size * count;
}

// libcurl calls this on every turn of its transfer loop and at least once a second.
int OnProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* shared = static_cast<LinkRequester::Shared*>(context);
    shared->FlushQuietStatus();
    return shared->abort.load() ? 1 : 0;
}

}  // namespace

void LinkRequester::Shared::Configure() {
    const CurlLibrary& curl = *Curl();
    CURL* h = handle.get();
    curl.easy_setopt(h, CURLOPT_USERAGENT, "Tolva");
    curl.easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl.easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl.easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl.easy_setopt(h, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl.easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
    curl.easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl.easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(options.timeoutSeconds) * 1000L);
    curl.easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(RequestLimitSeconds(options.timeoutSeconds)) * 1000L);
    curl.easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl.easy_setopt(h, CURLOPT_LOW_SPEED_TIME,
                     options.timeoutSeconds > 0 ? static_cast<long>(options.timeoutSeconds) : kDefaultStallSeconds);
    if (options.acceptCookies) curl.easy_setopt(h, CURLOPT_COOKIEFILE, "");
    if (!options.noProxy.empty()) curl.easy_setopt(h, CURLOPT_NOPROXY, options.noProxy.c_str());
    if (!options.trustedCertificates.empty()) {
        curl_blob trusted{options.trustedCertificates.data(), options.trustedCertificates.size(), CURL_BLOB_COPY};
        curl.easy_setopt(h, CURLOPT_CAINFO_BLOB, &trusted);
    }
    curl.easy_setopt(h, CURLOPT_RESOLVER_START_FUNCTION, OnResolverStart);
    curl.easy_setopt(h, CURLOPT_RESOLVER_START_DATA, this);
    curl.easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
    curl.easy_setopt(h, CURLOPT_OPENSOCKETDATA, this);
    curl.easy_setopt(h, CURLOPT_PREREQFUNCTION, OnRequestSent);
    curl.easy_setopt(h, CURLOPT_PREREQDATA, this);
    curl.easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl.easy_setopt(h, CURLOPT_HEADERDATA, this);
    curl.easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl.easy_setopt(h, CURLOPT_WRITEDATA, this);
    curl.easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl.easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl.easy_setopt(h, CURLOPT_XFERINFODATA, this);
}

RequestOutcome LinkRequester::Shared::Perform(const std::string& url) {
    RequestOutcome outcome;
    outcome.kind = RequestOutcome::NoReply;
    if (url.empty()) {
        outcome.error = request_error::kInvalidUrl;
        return outcome;
    }
    // Decided here rather than by libcurl, which would guess "http" for "javascript:..."
    // or a URL without any scheme.
    std::string_view scheme = SchemeOf(url);
    bool isFtp = EqualsIgnoringAsciiCase(scheme, "ftp");
    if (!isFtp && !EqualsIgnoringAsciiCase(scheme, "http") && !EqualsIgnoringAsciiCase(scheme, "https")) {
        outcome.error = request_error::kUnrecognizedScheme;
        return outcome;
    }

    const CurlLibrary& curl = *Curl();
    CURL* h = handle.get();
    std::string requested = EncodeForRequest(url);
    curl.easy_setopt(h, CURLOPT_URL, requested.c_str());
    if (isFtp) {
        // Learning that the file is there is enough; its data is not wanted.
        curl.easy_setopt(h, CURLOPT_NOBODY, 1L);
    } else {
        curl.easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }

    int attempts = 1 + (options.retryCount > 0 ? options.retryCount : 0);
    CURLcode code = CURLE_OK;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (abort.load()) {
            outcome.kind = RequestOutcome::Stopped;
            return outcome;
        }
        bodyBytes = 0;
        cutShort = false;
        reason.clear();
        code = curl.easy_perform(h);
        if (abort.load() && code != CURLE_OK && !(code == CURLE_WRITE_ERROR && cutShort)) {
            outcome.kind = RequestOutcome::Stopped;
            return outcome;
        }
        if (!IsConnectFailure(code, h)) break;
    }
    if (isFtp && code == CURLE_REMOTE_FILE_NOT_FOUND && !requested.ends_with('/')) {
        // libcurl asks for a name without a closing slash as a file, and servers refuse the
        // size of a folder, so an existing folder linked that way is asked for once more as one.
        std::string folder = requested + "/";
        curl.easy_setopt(h, CURLOPT_URL, folder.c_str());
        code = curl.easy_perform(h);
        if (abort.load() && code != CURLE_OK) {
            outcome.kind = RequestOutcome::Stopped;
            return outcome;
        }
    }
    // The end of the transfer: its status text travels with the outcome (one wake-up less).
    completeText = LoadString(IDS_STATUS_REQUEST_COMPLETE);

    long replyCode = 0;
    curl.easy_getinfo(h, CURLINFO_RESPONSE_CODE, &replyCode);
    // Every failure from here on is this link's own, even one of libcurl's (a reply header
    // too long for it reports CURLE_OUT_OF_MEMORY): the run goes on with the next link.
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && cutShort)) {
        if (isFtp) {
            // A non-HTTP reply that opened fine counts as working.
            outcome.kind = RequestOutcome::Reply;
            outcome.httpCode = 0;
            return outcome;
        }
        if (replyCode <= 0) {
            // A reply without a status code cannot show that the link works.
            outcome.error = request_error::kInvalidServerResponse;
            return outcome;
        }
        outcome.kind = RequestOutcome::Reply;
        outcome.httpCode = replyCode;
        outcome.statusText = reason;
        return outcome;
    }
    outcome.error = request_error::ErrorNumberForCurlCode(code, replyCode);
    if (code == CURLE_PEER_FAILED_VERIFICATION) {
        long verify = 0;
        curl.easy_getinfo(h, CURLINFO_SSL_VERIFYRESULT, &verify);
        constexpr long kCertificateExpired = 10;  // X509_V_ERR_CERT_HAS_EXPIRED
        // libcurl checks the host name before it records the chain's result, so a certificate
        // refused for its name leaves the result at libcurl's starting value, 1 ("unspecified");
        // a chain that checked out (0) but was refused anyway also failed on the host name.
        constexpr long kChainNotRecorded = 1;
        if (verify == kCertificateExpired) outcome.error = request_error::kCertificateDateInvalid;
        if (verify == 0 || verify == kChainNotRecorded) outcome.error = request_error::kCertificateNameInvalid;
    }
    return outcome;
}

void LinkRequester::Shared::Loop() {
    for (;;) {
        std::string url;
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return quit || hasJob; });
            if (quit) return;
            url = std::move(jobUrl);
            number = jobNumber;
            hasJob = false;
        }
        RequestRecord record;
        record.requestNumber = number;
        record.kind = RequestRecord::Completion;
        completeText.clear();
        record.outcome = Perform(url);
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
    shared->Configure();
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
