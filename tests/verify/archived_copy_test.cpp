#include "verify/archived_copy.h"

#include <gtest/gtest.h>

#include "verify/request_errors.h"

namespace tolva {
namespace {

RequestOutcome Reply(long code, std::string location = {}) {
    RequestOutcome outcome;
    outcome.kind = RequestOutcome::Reply;
    outcome.httpCode = code;
    outcome.location = std::move(location);
    return outcome;
}

RequestOutcome Failure(unsigned error) {
    RequestOutcome outcome;
    outcome.error = error;
    return outcome;
}

TEST(ArchivedCopyTest, OnlyAGonePageOrHostIsLookedUp) {
    EXPECT_TRUE(WorthAnArchivedCopy(Reply(404)));
    EXPECT_TRUE(WorthAnArchivedCopy(Reply(410)));
    EXPECT_TRUE(WorthAnArchivedCopy(Failure(request_error::kNameNotResolved)));
    EXPECT_TRUE(WorthAnArchivedCopy(Failure(request_error::kCannotConnect)));
    EXPECT_FALSE(WorthAnArchivedCopy(Reply(403)));
    EXPECT_FALSE(WorthAnArchivedCopy(Reply(500)));
    EXPECT_FALSE(WorthAnArchivedCopy(Failure(request_error::kTimeout)));
    RequestOutcome stopped = Reply(404);
    stopped.kind = RequestOutcome::Stopped;
    EXPECT_FALSE(WorthAnArchivedCopy(stopped));
}

TEST(ArchivedCopyTest, RequestNamesTheMomentTheLinkWasAddedInUtc) {
    // 1234567890 is 2009-02-13 23:31:30 UTC, whatever the machine's own zone.
    EXPECT_EQ(ArchiveRequestUrl("https://web.archive.org", "http://a.example/p?q=1#top", 1234567890),
              "https://web.archive.org/web/20090213233130/http://a.example/p?q=1");
    EXPECT_EQ(ArchiveRequestUrl("http://127.0.0.1:8080/", "http://a.example/", std::nullopt),
              "http://127.0.0.1:8080/web/http://a.example/");
    EXPECT_EQ(ArchiveRequestUrl("", "http://a.example/", 0), "https://web.archive.org/web/19700101000000/http://a.example/");
    // A date the archive cannot spell asks for its latest copy instead.
    EXPECT_EQ(ArchiveRequestUrl("http://m", "http://a.example/", -99999999999999), "http://m/web/http://a.example/");
}

TEST(ArchivedCopyTest, RedirectOrPageIsTheCopyAndAnythingElseIsNone) {
    const std::string asked = "http://m/web/20090213233130/http://a.example/";
    EXPECT_EQ(ArchivedCopyIn(Reply(302, "http://m/web/20090214000000/http://a.example/"), asked),
              "http://m/web/20090214000000/http://a.example/");
    EXPECT_EQ(ArchivedCopyIn(Reply(200), asked), asked);
    EXPECT_EQ(ArchivedCopyIn(Reply(404), asked), "");
    EXPECT_EQ(ArchivedCopyIn(Reply(302, "javascript:alert(1)"), asked), "");
    EXPECT_EQ(ArchivedCopyIn(Reply(302), asked), "");
    EXPECT_EQ(ArchivedCopyIn(Failure(request_error::kNameNotResolved), asked), "");
}

}  // namespace
}  // namespace tolva
