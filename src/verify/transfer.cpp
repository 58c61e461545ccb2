#include "verify/transfer.h"

#include <sys/socket.h>

#include <string_view>

#include "platform/ascii.h"
#include "resources/strings.h"
#include "verify/request_errors.h"
#include "verify/request_url.h"

namespace tolva {

namespace {

// Bodies are read only this far: enough to keep a small reply's connection reusable
// without downloading whole files to learn a status code.
constexpr std::size_t kBodyLimit = 64 * 1024;
// Browsers follow a chain of 20 redirects; libcurl alone would follow forever.
constexpr long kMaxRedirects = 20;
// A connection that delivers nothing for this long fails as a time-out when the person
// asked for libcurl's default connect time-out (0), so an unattended run never hangs.
constexpr long kDefaultStallSeconds = 300;
// An attempt at a link may last this many times the connect time-out in all.
constexpr int kRequestLimitFactor = 3;
// HTTP codes below this are interim replies; FTP replies from this on refuse.
constexpr long kFirstFinalStatus = 200;
constexpr long kFirstFtpRefusal = 400;

int OnResolverStart(void*, void*, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    transfer->sink->PostStatus(transfer->number, IDS_STATUS_RESOLVING, true);
    return transfer->options->refuseNameLookups ? 1 : 0;
}

curl_socket_t OnOpenSocket(void* context, curlsocktype, curl_sockaddr* address) {
    auto* transfer = static_cast<Transfer*>(context);
    transfer->sink->PostStatus(transfer->number, IDS_STATUS_CONNECTING, true);
    return socket(address->family, address->socktype | SOCK_CLOEXEC, address->protocol);
}

// Most replies come within a few milliseconds, and then the completion shows this status
// too; posting it quietly saves the run one wake-up per request.
int OnRequestSent(void* context, char*, char*, int, int) {
    auto* transfer = static_cast<Transfer*>(context);
    transfer->sink->PostStatus(transfer->number, IDS_STATUS_REQUEST_SENT, false);
    return CURL_PREREQFUNC_OK;
}

// Parses a three-digit reply code; 0 when text does not start with one.
long ReplyCodeOf(std::string_view text) {
    if (text.size() < 3) return 0;
    long code = 0;
    for (std::size_t i = 0; i < 3; ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        code = code * 10 + (text[i] - '0');
    }
    return text.size() == 3 || text[3] == ' ' || text[3] == '-' || text[3] == '\r' ? code : 0;
}

// Keeps the code and reason phrase of the last final status line: after redirects and interim
// 1xx replies, that is the reply the link is judged by. An FTP transfer keeps its server's last
// refusal instead; lines of other connections (a QUIT's "221") never look like either.
std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    std::string_view line(data, size * count);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
    if (transfer->isFtp) {
        long code = ReplyCodeOf(line);
        if (code >= kFirstFtpRefusal) transfer->ftpRefusal = code;
    } else if (line.starts_with("HTTP/")) {
        std::size_t codeStart = line.find(' ');
        if (codeStart != std::string_view::npos) {
            std::string_view rest = line.substr(codeStart + 1);
            long code = ReplyCodeOf(rest);
            if (code >= kFirstFinalStatus) {
                transfer->replyCode = code;
                transfer->statusCodes.push_back(code);
                std::size_t reasonStart = rest.find(' ');
                transfer->reason =
                    reasonStart == std::string_view::npos ? std::string() : std::string(rest.substr(reasonStart + 1));
            }
        }
    }
    return size * count;
}

std::size_t OnBody(char*, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    transfer->bodyBytes += size * count;
    if (transfer->bodyBytes > kBodyLimit) {
        transfer->cutShort = true;
        return 0;
    }
    return size * count;
}

int OnProgress(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(context)->sink->OnTransferProgress() ? 1 : 0;
}

}  // namespace

int RequestLimitSeconds(int timeoutSeconds) {
    return timeoutSeconds > 0 ? kRequestLimitFactor * timeoutSeconds : static_cast<int>(kDefaultStallSeconds);
}

void ConfigureTransfer(CURL* h, const LinkRequestOptions& options, Transfer* transfer) {
    const CurlLibrary& curl = *Curl();
    transfer->options = &options;
    curl.easy_setopt(h, CURLOPT_PRIVATE, transfer);
    curl.easy_setopt(h, CURLOPT_USERAGENT, options.userAgent.empty() ? kDefaultUserAgent : options.userAgent.c_str());
    curl.easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // A stop does not wait for a name look-up under way to finish: its thread is left to end alone.
    curl.easy_setopt(h, CURLOPT_QUICK_EXIT, 1L);
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
        curl_blob trusted{const_cast<char*>(options.trustedCertificates.data()), options.trustedCertificates.size(),
                          CURL_BLOB_COPY};
        curl.easy_setopt(h, CURLOPT_CAINFO_BLOB, &trusted);
    }
    curl.easy_setopt(h, CURLOPT_RESOLVER_START_FUNCTION, OnResolverStart);
    curl.easy_setopt(h, CURLOPT_RESOLVER_START_DATA, transfer);
    curl.easy_setopt(h, CURLOPT_OPENSOCKETFUNCTION, OnOpenSocket);
    curl.easy_setopt(h, CURLOPT_OPENSOCKETDATA, transfer);
    curl.easy_setopt(h, CURLOPT_PREREQFUNCTION, OnRequestSent);
    curl.easy_setopt(h, CURLOPT_PREREQDATA, transfer);
    curl.easy_setopt(h, CURLOPT_HEADERFUNCTION, OnHeader);
    curl.easy_setopt(h, CURLOPT_HEADERDATA, transfer);
    curl.easy_setopt(h, CURLOPT_WRITEFUNCTION, OnBody);
    curl.easy_setopt(h, CURLOPT_WRITEDATA, transfer);
    curl.easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl.easy_setopt(h, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl.easy_setopt(h, CURLOPT_XFERINFODATA, transfer);
}

bool PrepareTransfer(CURL* h, const std::string& url, Transfer& transfer, RequestOutcome& refusal) {
    refusal = RequestOutcome();
    refusal.kind = RequestOutcome::NoReply;
    if (url.empty()) {
        refusal.error = request_error::kInvalidUrl;
        return false;
    }
    // Decided here rather than by libcurl, which would guess "http" for "javascript:..."
    // or a URL without any scheme.
    std::string_view scheme = SchemeOf(url);
    transfer.isFtp = EqualsIgnoringAsciiCase(scheme, "ftp");
    if (!transfer.isFtp && !EqualsIgnoringAsciiCase(scheme, "http") && !EqualsIgnoringAsciiCase(scheme, "https")) {
        refusal.error = request_error::kUnrecognizedScheme;
        return false;
    }
    const CurlLibrary& curl = *Curl();
    transfer.sent = EncodeForRequest(url);
    curl.easy_setopt(h, CURLOPT_URL, transfer.sent.c_str());
    if (transfer.isFtp) {
        // Learning that the file is there is enough; its data is not wanted.
        curl.easy_setopt(h, CURLOPT_NOBODY, 1L);
    } else {
        curl.easy_setopt(h, CURLOPT_HTTPGET, 1L);
    }
    return true;
}

bool IsConnectFailure(CURLcode code, CURL* handle) {
    if (code == CURLE_COULDNT_CONNECT) return true;
    if (code != CURLE_OPERATION_TIMEDOUT) return false;
    curl_off_t connectTime = 0;
    Curl()->easy_getinfo(handle, CURLINFO_CONNECT_TIME_T, &connectTime);
    return connectTime == 0;
}

bool WantsFolderRetry(const Transfer& transfer, CURLcode code) {
    return transfer.isFtp && code == CURLE_REMOTE_FILE_NOT_FOUND && !transfer.sent.ends_with('/');
}

RequestOutcome OutcomeOf(CURL* h, CURLcode code, const Transfer& transfer) {
    const CurlLibrary& curl = *Curl();
    RequestOutcome outcome;
    outcome.kind = RequestOutcome::NoReply;
    char* effective = nullptr;
    if (curl.easy_getinfo(h, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective) outcome.finalUrl = effective;
    const long replyCode = transfer.isFtp ? transfer.ftpRefusal : transfer.replyCode;
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && transfer.cutShort)) {
        if (transfer.isFtp) {
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
        outcome.statusText = transfer.reason;
        long redirects = 0;
        const std::vector<long>& codes = transfer.statusCodes;
        if (curl.easy_getinfo(h, CURLINFO_REDIRECT_COUNT, &redirects) == CURLE_OK && redirects > 0 &&
            static_cast<std::size_t>(redirects) < codes.size()) {
            outcome.redirects.assign(codes.end() - 1 - redirects, codes.end() - 1);
        }
        // A request that reads its redirect instead of following it (an archive's answer) ends on it.
        char* location = nullptr;
        if (curl.easy_getinfo(h, CURLINFO_REDIRECT_URL, &location) == CURLE_OK && location) {
            outcome.location = location;
        }
        curl_off_t retryAfter = 0;
        if (curl.easy_getinfo(h, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0) {
            outcome.retryAfterSeconds = static_cast<long>(retryAfter);
        }
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

}  // namespace tolva
