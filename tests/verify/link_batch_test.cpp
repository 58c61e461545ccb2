#include "verify/link_batch.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>

#include "resources/strings.h"
#include "support/ftp_server.h"
#include "support/loopback_server.h"
#include "support/tls_server.h"
#include "verify/error_texts.h"
#include "verify/request_errors.h"
#include "verify/request_url.h"

namespace tolva {
namespace {

using testing::LoopbackServer;
using testing::RefusedPort;

constexpr int kRequestLimitMs = 15000;

struct Finished {
    RequestOutcome outcome;
    std::vector<std::string> statuses;
    bool completed = false;
};

class LinkBatchTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Running());
        options.noProxy = "*";
    }
    // The default run's engine: one request at a time.
    void Open() { engine = LinkBatch::Create(options, kOneAtATime, waiter); }
    // One request, taken to its end (bounded).
    Finished Fetch(const std::string& url) {
        if (!engine) Open();
        Finished finished;
        if (!engine) return finished;
        unsigned number = engine->Add(url);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestLimitMs);
        while (!finished.completed && std::chrono::steady_clock::now() < deadline) {
            pollfd descriptor{waiter.Fd(), POLLIN, 0};
            poll(&descriptor, 1, 100);
            for (RequestRecord& record : waiter.Take()) {
                if (record.requestNumber != number) continue;
                if (!record.statusText.empty()) finished.statuses.push_back(record.statusText);
                if (record.kind == RequestRecord::Completion) {
                    finished.outcome = record.outcome;
                    finished.completed = true;
                }
            }
        }
        EXPECT_TRUE(finished.completed) << url;
        return finished;
    }

    // The outcomes of requests queued already, taken as they complete (bounded).
    std::map<unsigned, RequestOutcome> Await(const std::vector<unsigned>& numbers) {
        std::map<unsigned, RequestOutcome> outcomes;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestLimitMs);
        while (outcomes.size() < numbers.size() && std::chrono::steady_clock::now() < deadline) {
            pollfd descriptor{waiter.Fd(), POLLIN, 0};
            poll(&descriptor, 1, 100);
            for (RequestRecord& record : waiter.Take()) {
                if (record.kind == RequestRecord::Completion) outcomes[record.requestNumber] = record.outcome;
            }
        }
        EXPECT_EQ(outcomes.size(), numbers.size());
        return outcomes;
    }

    // Takes records until until() holds for one of them (bounded); false if none came.
    bool TakeUntil(const std::function<bool(const RequestRecord&)>& until) {
        for (int turn = 0; turn < 100; ++turn) {
            pollfd descriptor{waiter.Fd(), POLLIN, 0};
            poll(&descriptor, 1, 100);
            bool found = false;
            for (RequestRecord& record : waiter.Take()) {
                seen.push_back(record.requestNumber);
                found = found || until(record);
            }
            if (found) return true;
        }
        return false;
    }
    bool IsSent(const RequestRecord& record) const { return record.statusText == LoadString(IDS_STATUS_REQUEST_SENT); }

    LoopbackServer server;
    std::vector<unsigned> seen;  // the request numbers of the records TakeUntil took
    LinkRequestOptions options;
    Waiter waiter;
    std::unique_ptr<LinkBatch> engine;
};

TEST_F(LinkBatchTest, RepliesCarryTheFinalStatusAndReason) {
    struct Row {
        std::string path;
        long code;
        std::string reason;
    };
    const Row rows[] = {
        {"/status/200", 200, "OK"},
        {"/status/404", 404, "Not Found"},
        {"/status/405", 405, "Method Not Allowed"},
        {"/status/410", 410, "Gone"},
        {"/status/500", 500, "Internal Server Error"},
        {"/status/503", 503, "Service Unavailable"},
        {"/redirect/1", 200, "OK"},
        {"/redirect/10", 200, "OK"},
        {"/redirect/20", 200, "OK"},
        {"/slow", 200, "OK"},
        {"/big", 200, "OK"},
        {"/agent", 200, "OK"},
        {"/with space/\xC3\xA9", 200, "OK"},
    };
    for (const Row& row : rows) {
        Finished finished = Fetch(server.Url(row.path));
        EXPECT_EQ(finished.outcome.kind, RequestOutcome::Reply) << row.path;
        EXPECT_EQ(finished.outcome.httpCode, row.code) << row.path;
        EXPECT_EQ(finished.outcome.statusText, row.reason) << row.path;
    }
    // The whole big body was never fetched, and the space was sent escaped.
    EXPECT_EQ(server.Hits("/big"), 1);
}

TEST_F(LinkBatchTest, FailuresWithoutReplyMapToErrorNumbers) {
    RefusedPort refused;
    ASSERT_GT(refused.Port(), 0);
    struct Row {
        std::string url;
        unsigned error;
    };
    const Row rows[] = {
        {server.Url("/redirect/21"), request_error::kRedirectFailed},  // one redirect more than browsers follow
        {server.Url("/loop"), request_error::kRedirectFailed},
        {"http://127.0.0.1:" + std::to_string(refused.Port()) + "/", request_error::kCannotConnect},
        {"javascript:alert(1)", request_error::kUnrecognizedScheme},
        {"file:///etc/passwd", request_error::kUnrecognizedScheme},
        {"mailto:someone@example.com", request_error::kUnrecognizedScheme},
        {"127.0.0.1/no-scheme", request_error::kUnrecognizedScheme},
        {"", request_error::kInvalidUrl},
        {"http://[::1/", request_error::kInvalidUrl},
    };
    for (const Row& row : rows) {
        Finished finished = Fetch(row.url);
        EXPECT_EQ(finished.outcome.kind, RequestOutcome::NoReply) << row.url;
        EXPECT_EQ(finished.outcome.error, row.error) << row.url;
    }
    EXPECT_EQ(server.Hits("/redirect/0"), 0);
}

TEST_F(LinkBatchTest, CookiesFollowTheRedirectOnlyWhenAccepted) {
    Finished refused = Fetch(server.Url("/cookie/set"));
    EXPECT_EQ(refused.outcome.httpCode, 403);

    options.acceptCookies = true;
    Open();
    Finished accepted = Fetch(server.Url("/cookie/set"));
    EXPECT_EQ(accepted.outcome.httpCode, 200);
}

// A run's transfers may each have a handle of their own; a cookie one of them was given goes
// with the others all the same, and none is kept unless cookies are accepted.
TEST_F(LinkBatchTest, CookiesAreSharedBetweenTransfersOnlyWhenAccepted) {
    for (bool accepted : {false, true}) {
        SCOPED_TRACE(accepted);
        options.acceptCookies = accepted;
        engine = LinkBatch::Create(options, {2, 2, false, false}, waiter);
        ASSERT_NE(engine, nullptr);
        Fetch(server.Url("/cookie/set"));
        // The handle that was given the cookie is busy with the held request; the check takes another.
        const unsigned held = engine->Add(server.Url("/hold/1"));
        const unsigned check = engine->Add(server.Url("/cookie/check"));
        std::map<unsigned, RequestOutcome> outcomes = Await({held, check});
        EXPECT_EQ(outcomes[check].httpCode, accepted ? 200 : 403);
    }
}

// A request waiting behind its host's other requests has not started: its time-out runs from
// its own start, not from when it was queued.
TEST_F(LinkBatchTest, TimeQueuedBehindTheHostIsNotChargedToTheTimeOut) {
    options.timeoutSeconds = 1;  // a request may take 3 s in all
    engine = LinkBatch::Create(options, {4, 1, false, false}, waiter);
    ASSERT_NE(engine, nullptr);
    // One at a time to the host, 150 ms each: the last waits longer than a request may take.
    std::vector<unsigned> numbers;
    for (int i = 0; i < 25; ++i) numbers.push_back(engine->Add(server.Url("/hold/" + std::to_string(i))));
    std::map<unsigned, RequestOutcome> outcomes = Await(numbers);
    for (unsigned number : numbers) EXPECT_EQ(outcomes[number].httpCode, 200) << number;
    EXPECT_EQ(server.MaxInFlight(), 1);
}

TEST_F(LinkBatchTest, ServerThatSendsNothingTimesOut) {
    options.timeoutSeconds = 1;
    Finished finished = Fetch(server.Url("/stall"));
    EXPECT_EQ(finished.outcome.kind, RequestOutcome::NoReply);
    EXPECT_EQ(finished.outcome.error, request_error::kTimeout);
}

TEST_F(LinkBatchTest, ReplyThatTricklesFailsAsATimeOutAtTheRequestLimit) {
    // A byte every 300 ms passes the stall check; only the overall limit (3 s here) ends it.
    options.timeoutSeconds = 1;
    Finished finished = Fetch(server.Url("/drip"));
    EXPECT_EQ(finished.outcome.kind, RequestOutcome::NoReply);
    EXPECT_EQ(finished.outcome.error, request_error::kTimeout);
}

TEST_F(LinkBatchTest, RetriesRepeatOnlyFailedConnections) {
    RefusedPort refused;
    ASSERT_GT(refused.Port(), 0);
    options.retryCount = 2;
    const std::string connecting = LoadString(IDS_STATUS_CONNECTING);
    Finished finished = Fetch("http://127.0.0.1:" + std::to_string(refused.Port()) + "/");
    EXPECT_EQ(finished.outcome.error, request_error::kCannotConnect);
    EXPECT_EQ(std::count(finished.statuses.begin(), finished.statuses.end(), connecting), 3);
    // A server that answered, even with an error, is asked once.
    Fetch(server.Url("/status/500"));
    EXPECT_EQ(server.Hits("/status/500"), 1);
}

TEST_F(LinkBatchTest, RefusedNameLookupIsHostNotFound) {
    options.refuseNameLookups = true;
    Finished finished = Fetch(server.Url("/status/200"));
    EXPECT_EQ(finished.outcome.kind, RequestOutcome::NoReply);
    EXPECT_EQ(finished.outcome.error, request_error::kNameNotResolved);
    EXPECT_EQ(server.Hits("/status/200"), 0);
}

TEST_F(LinkBatchTest, StatusTextsComeInOrderAndAReusedConnectionShowsTheLastTwo) {
    const std::vector<std::string> first = {LoadString(IDS_STATUS_RESOLVING), LoadString(IDS_STATUS_CONNECTING),
                                            LoadString(IDS_STATUS_REQUEST_SENT),
                                            LoadString(IDS_STATUS_REQUEST_COMPLETE)};
    EXPECT_EQ(Fetch(server.Url("/status/200")).statuses, first);
    const std::vector<std::string> reused = {LoadString(IDS_STATUS_REQUEST_SENT),
                                             LoadString(IDS_STATUS_REQUEST_COMPLETE)};
    EXPECT_EQ(Fetch(server.Url("/status/404")).statuses, reused);
}

TEST_F(LinkBatchTest, AbortEndsAStalledRequestWithoutAnOutcome) {
    Open();
    ASSERT_TRUE(engine);
    engine->Add(server.Url("/stall"));
    // Wait until the request is on the wire, then stop it.
    ASSERT_TRUE(TakeUntil([this](const RequestRecord& record) { return IsSent(record); }));
    engine->Abort();
    engine.reset();
    for (const RequestRecord& record : waiter.Take()) EXPECT_NE(record.kind, RequestRecord::Completion);
}

TEST_F(LinkBatchTest, NothingStartsOnceTheRunIsStopping) {
    Open();
    ASSERT_TRUE(engine);
    unsigned first = engine->Add(server.Url("/slow"));
    ASSERT_TRUE(TakeUntil([this](const RequestRecord& record) { return IsSent(record); }));
    unsigned second = engine->Add(server.Url("/status/200"));
    engine->StopStarting();
    // The request under way still ends with its outcome; the one queued never starts.
    EXPECT_TRUE(TakeUntil([first](const RequestRecord& record) {
        return record.requestNumber == first && record.kind == RequestRecord::Completion;
    }));
    engine.reset();
    for (const RequestRecord& record : waiter.Take()) seen.push_back(record.requestNumber);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), second), 0);
    EXPECT_EQ(server.Hits("/status/200"), 0);
}

TEST_F(LinkBatchTest, FtpLinksWorkWhenTheFileOrFolderIsThereAndShowTheRefusalCode) {
    testing::FtpServer ftp;
    ASSERT_TRUE(ftp.Running());
    struct Row {
        std::string path;
        RequestOutcome::Kind kind;
        std::string errorText;  // empty for a link that works
    };
    const Row rows[] = {
        {"/pub/there.txt", RequestOutcome::Reply, ""},
        {"/pub/", RequestOutcome::Reply, ""},
        {"/pub", RequestOutcome::Reply, ""},  // a folder named like a file
        {"/pub/missing.txt", RequestOutcome::NoReply, "File not available"},
        {"/nowhere/there.txt", RequestOutcome::NoReply, "File not available"},
        {"/pub/there.txt", RequestOutcome::Reply, ""},  // again, after a refusal
    };
    for (const Row& row : rows) {
        Finished finished = Fetch(ftp.Url(row.path));
        EXPECT_EQ(finished.outcome.kind, row.kind) << row.path;
        if (row.errorText.empty()) {
            EXPECT_EQ(finished.outcome.httpCode, 0) << row.path;
        } else {
            EXPECT_EQ(RequestErrorText(finished.outcome.error), row.errorText) << row.path;
        }
    }
    // The links were checked without any file data being asked for.
    const std::vector<std::string> commands = ftp.Commands();
    EXPECT_NE(std::find(commands.begin(), commands.end(), "PASS"), commands.end());
    for (const char* dataCommand : {"EPSV", "PASV", "PORT", "RETR", "LIST", "NLST"}) {
        EXPECT_EQ(std::find(commands.begin(), commands.end(), dataCommand), commands.end()) << dataCommand;
    }
}

TEST_F(LinkBatchTest, ReplyToAnotherConnectionsQuitNeverDecidesALink) {
    // Regression: with the FTP connection the oldest of six, libcurl closes it as the sixth
    // server's transfer ends, and the server's "221" to QUIT was taken for that link's reply.
    testing::FtpServer ftp;
    ASSERT_TRUE(ftp.Running());
    EXPECT_EQ(Fetch(ftp.Url("/pub/there.txt")).outcome.kind, RequestOutcome::Reply);
    std::vector<std::unique_ptr<LoopbackServer>> others;
    for (int i = 0; i < 4; ++i) {
        others.push_back(std::make_unique<LoopbackServer>());
        EXPECT_EQ(Fetch(others.back()->Url("/status/200")).outcome.httpCode, 200);
    }
    Finished dead = Fetch(server.Url("/status/404"));
    EXPECT_EQ(dead.outcome.kind, RequestOutcome::Reply);
    EXPECT_EQ(dead.outcome.httpCode, 404);
    EXPECT_EQ(dead.outcome.statusText, "Not Found");
    engine.reset();  // lets the servers close their kept connections at once
}

TEST_F(LinkBatchTest, CertificatesThatCannotBeTrustedFailWithTheirOwnErrors) {
    using testing::TlsCertificate;
    struct Row {
        TlsCertificate kind;
        bool trusted;
        unsigned error;  // 0 for a link that works
    };
    const Row rows[] = {
        {TlsCertificate::ForLoopback, false, request_error::kInvalidCertificateAuthority},
        {TlsCertificate::ForLoopback, true, 0},  // shows the trust below is what the others lack
        {TlsCertificate::Expired, true, request_error::kCertificateDateInvalid},
        {TlsCertificate::ForOtherName, true, request_error::kCertificateNameInvalid},
    };
    for (const Row& row : rows) {
        testing::TlsServer tls(row.kind);
        ASSERT_TRUE(tls.Running());
        options.trustedCertificates = row.trusted ? tls.CertificatePem() : std::string();
        Open();
        Finished finished = Fetch(tls.Url("/"));
        if (row.error == 0) {
            EXPECT_EQ(finished.outcome.kind, RequestOutcome::Reply);
            EXPECT_EQ(finished.outcome.httpCode, 200);
        } else {
            EXPECT_EQ(finished.outcome.kind, RequestOutcome::NoReply) << row.error;
            EXPECT_EQ(finished.outcome.error, row.error);
        }
        engine.reset();
    }
}

TEST(LinkBatchUnits, OnlyTheRequestIsEscapedAndOnlyAfterTheHost) {
    struct Row {
        std::string stored;
        std::string sent;
    };
    const Row rows[] = {
        {"http://h/a b?q=c d#e f", "http://h/a%20b?q=c%20d#e%20f"},
        {"http://h/\xC3\xA9\x01\x7F", "http://h/%C3%A9%01%7F"},
        {"http://h\xC3\xA9/x", "http://h\xC3\xA9/x"},
        {"http://h", "http://h"},
        {"http://h/already%20escaped", "http://h/already%20escaped"},
    };
    for (const Row& row : rows) EXPECT_EQ(EncodeForRequest(row.stored), row.sent);
}

}  // namespace
}  // namespace tolva
