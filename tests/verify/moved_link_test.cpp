#include "verify/moved_link.h"

#include <gtest/gtest.h>

namespace tolva {
namespace {

struct MovedRow {
    const char* link;
    const char* finalUrl;
    std::vector<long> redirects;
    long code;
    const char* expected;  // empty: the link keeps its URL
};

TEST(MovedUrlTest, OnlyPermanentMovesToARealPageAreTaken) {
    const MovedRow rows[] = {
        {"http://a.test/old", "http://b.test/new", {301}, 200, "http://b.test/new"},
        {"http://a.test/old", "https://b.test/new", {308, 301}, 200, "https://b.test/new"},
        // A temporary redirect anywhere in the chain, or none at all.
        {"http://a.test/old", "http://b.test/new", {302}, 200, ""},
        {"http://a.test/old", "http://b.test/new", {301, 307}, 200, ""},
        {"http://a.test/old", "http://b.test/new", {}, 200, ""},
        // The chain must end in a page that works and is no redirect itself.
        {"http://a.test/old", "http://b.test/new", {301}, 404, ""},
        {"http://a.test/old", "http://b.test/new", {301}, 301, ""},
        // A site's front page, unless the link was one.
        {"http://a.test/old", "http://b.test/", {301}, 200, ""},
        {"http://a.test/old", "http://b.test", {301}, 200, ""},
        {"http://a.test/", "https://b.test/", {301}, 200, "https://b.test/"},
        {"http://a.test/old", "http://b.test/?page=3", {301}, 200, "http://b.test/?page=3"},
        // What looks like a log-in.
        {"http://a.test/old", "http://b.test/accounts/SignIn", {301}, 200, ""},
        {"http://a.test/old", "http://b.test/sso/start", {301}, 200, ""},
        {"http://a.test/old", "http://b.test/wall?next=%2Fold", {301}, 200, ""},
        {"http://a.test/old", "http://b.test/wall?returnTo=x", {301}, 200, ""},
        // Never from https to http.
        {"https://a.test/old", "http://b.test/new", {301}, 200, ""},
        // A fragment, never sent, goes with the link; back where it started is no move.
        {"http://a.test/old#part", "http://b.test/new", {301}, 200, "http://b.test/new#part"},
        {"http://a.test/a b", "http://a.test/a%20b", {301}, 200, ""},
    };
    for (const MovedRow& row : rows) {
        RequestOutcome outcome;
        outcome.kind = RequestOutcome::Reply;
        outcome.httpCode = row.code;
        outcome.finalUrl = row.finalUrl;
        outcome.redirects = row.redirects;
        EXPECT_EQ(MovedUrl(row.link, outcome), row.expected) << row.link << " -> " << row.finalUrl;
    }
}

}  // namespace
}  // namespace tolva
