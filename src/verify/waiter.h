#pragma once
// The one wait of a verification run. The request's worker thread posts records (status
// texts and the completion, each tagged with its request's number) into a mutex-guarded
// queue and signals an eventfd; the run's own thread sleeps on that descriptor (the desktop
// program with a QSocketNotifier in a local event loop, tolva-cli with poll()) and takes
// the records when it wakes. Nothing spins, and the lock gives the release/acquire pairing
// that makes a completion's values visible together with the completion itself.

#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace tolva {

// The outcome of one link request.
struct RequestOutcome {
    enum Kind {
        Reply,    // a reply came back: httpCode holds its status (0 for a non-HTTP reply)
        NoReply,  // no reply: error holds the error number (12000 and up, or a server's own code)
        Stopped,  // aborted because the run was stopped; the link was not tested
    };
    Kind kind = NoReply;
    long httpCode = 0;
    unsigned error = 0;
    std::string statusText;  // the reason phrase of the final status line, if any
    std::string finalUrl;    // where the last redirect led (empty when nothing was requested)
    std::vector<long> redirects;  // the status of each redirect followed to the reply, in order
    std::string location;         // a redirect reply's target, absolute, when it was not followed
    long retryAfterSeconds = 0;  // a reply's Retry-After, in seconds from its arrival (0: none)
    long elapsedMs = 0;          // from the request's start to its outcome, tries included
};

struct RequestRecord {
    enum Kind { Status, Completion, Started };  // Started: a batch began this request
    unsigned requestNumber = 0;
    Kind kind = Status;
    std::string statusText;  // the text for the current-status line (on a completion: its own, if any)
    RequestOutcome outcome;  // Completion
};

class Waiter {
public:
    Waiter();
    ~Waiter();
    Waiter(const Waiter&) = delete;
    Waiter& operator=(const Waiter&) = delete;

    // Readable while records are waiting. Views watch it; only Take resets it.
    int Fd() const { return fd_; }
    bool IsValid() const { return fd_ >= 0; }
    // Called from the worker thread. A record posted without signal waits for the next
    // signal (a later record's, or Signal): a status that a quick completion is about to
    // replace need not wake the run on its own.
    void Post(RequestRecord record, bool signal = true);
    void Signal();
    // Called from the run's thread: all waiting records, oldest first.
    std::deque<RequestRecord> Take();

private:
    int fd_ = -1;
    std::mutex mutex_;
    std::deque<RequestRecord> queue_;
};

}  // namespace tolva
