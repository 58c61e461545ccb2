#pragma once
// One link's libcurl transfer, as the request engine (link_batch.h) runs it: how a handle is
// set up, what is requested, and what a finished transfer's outcome is.

#include <cstddef>
#include <string>
#include <vector>

#include "verify/curl_library.h"
#include "verify/request_options.h"
#include "verify/waiter.h"

namespace tolva {

// The agent every request names unless the person chose another.
inline constexpr char kDefaultUserAgent[] = "Tolva";

// Where a transfer's status texts go: the requester that runs it.
class TransferSink {
public:
    virtual ~TransferSink() = default;
    // A status text (string-table id) of request number; one posted without signal may wait
    // for the next wake-up of the run.
    virtual void PostStatus(unsigned number, int textId, bool signal) = 0;
    // Called on every turn of the transfer and at least once a second; true stops it.
    virtual bool OnTransferProgress() = 0;
};

// One link's transfer: the state libcurl's callbacks fill in while it runs.
struct Transfer {
    TransferSink* sink = nullptr;
    const LinkRequestOptions* options = nullptr;
    unsigned number = 0;
    bool isFtp = false;
    std::string sent;  // the URL as sent (EncodeForRequest)
    std::size_t bodyBytes = 0;
    bool cutShort = false;  // the body was cut off on purpose, which is no failure
    // The reply to this transfer's own request, read from its own status lines: libcurl's
    // CURLINFO_RESPONSE_CODE also takes the reply to a QUIT that another FTP connection gets
    // when it is closed as this transfer ends, and a 221 there would pass a dead link.
    long replyCode = 0;   // the code of the last final HTTP status line
    std::string reason;   // and its reason phrase
    // The code of every final HTTP status line, in order: the redirects followed are the last
    // ones before the reply (a proxy's answer to CONNECT may come first).
    std::vector<long> statusCodes;
    long ftpRefusal = 0;  // the last FTP reply of 400 and above

    void ResetAttempt() {
        bodyBytes = 0;
        cutShort = false;
        replyCode = 0;
        reason.clear();
        statusCodes.clear();
        ftpRefusal = 0;
    }
};

// Sets every option a link request needs on handle, its callbacks reporting to transfer.
void ConfigureTransfer(CURL* handle, const LinkRequestOptions& options, Transfer* transfer);

// Decides whether url is asked for at all and, if so, sets it on handle (transfer.isFtp and
// transfer.sent filled in). False with refusal set for an empty URL or a scheme other than
// http, https and ftp: such a URL never reaches libcurl.
bool PrepareTransfer(CURL* handle, const std::string& url, Transfer& transfer, RequestOutcome& refusal);

// Only a failure to establish the connection is tried again, as WinInet's connect retries are.
bool IsConnectFailure(CURLcode code, CURL* handle);

// libcurl asks for an FTP name without a closing slash as a file, and servers refuse the size
// of a folder: true when the transfer is to be asked for once more as a folder (sent + "/").
bool WantsFolderRetry(const Transfer& transfer, CURLcode code);

// The outcome of a finished transfer (its final URL included; the time is the caller's).
RequestOutcome OutcomeOf(CURL* handle, CURLcode code, const Transfer& transfer);

}  // namespace tolva
