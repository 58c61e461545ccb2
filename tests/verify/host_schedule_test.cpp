#include "verify/host_schedule.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolva {
namespace {

using std::chrono::seconds;

const ScheduleTime kStart{};

RequestOutcome Reply(long code, long retryAfterSeconds = 0) {
    RequestOutcome outcome;
    outcome.kind = RequestOutcome::Reply;
    outcome.httpCode = code;
    outcome.retryAfterSeconds = retryAfterSeconds;
    return outcome;
}

// Everything that may start at now, in the order it starts.
std::vector<std::size_t> Drain(HostSchedule& schedule, ScheduleTime now) {
    std::vector<std::size_t> started;
    while (std::optional<std::size_t> job = schedule.Next(now)) started.push_back(*job);
    return started;
}

TEST(HostScheduleTest, QueueOrderKeepsToTheLimitsAndUrgentGoesFirst) {
    HostSchedule schedule({4, 2, false, true});
    for (const char* host : {"a:80", "a:80", "a:80", "b:80", "b:80", "b:80"}) schedule.Add(host, false);
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{0, 1, 3, 4}));
    const std::size_t urgent = schedule.Add("b:80", true);
    EXPECT_TRUE(schedule.Finished(0, Reply(200), kStart));
    // The urgent job is first in line, but its host is full: a's next goes.
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{2}));
    EXPECT_TRUE(schedule.Finished(3, Reply(200), kStart));
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{urgent}));
    schedule.StopStarting();
    EXPECT_TRUE(schedule.Finished(4, Reply(200), kStart));
    EXPECT_TRUE(Drain(schedule, kStart).empty()) << "a stopping run starts nothing";
}

TEST(HostScheduleTest, ARetryAfterWithinTheHostsWaitHoldsItAndAsksTheLinkOnceMore) {
    HostSchedule schedule({8, 2, false, true});
    schedule.Add("a:80", false);
    schedule.Add("a:80", false);
    schedule.Add("a:80", false);
    schedule.Add("b:80", false);
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{0, 1, 3}));
    EXPECT_FALSE(schedule.Finished(0, Reply(429, 30), kStart));
    EXPECT_EQ(schedule.HoldEnd(kStart), kStart + seconds(30));
    EXPECT_TRUE(Drain(schedule, kStart + seconds(29)).empty()) << "a is held; b has nothing left";
    EXPECT_TRUE(schedule.Finished(1, Reply(200), kStart + seconds(1)));
    EXPECT_EQ(Drain(schedule, kStart + seconds(30)), (std::vector<std::size_t>{0, 2}));
    EXPECT_TRUE(schedule.Finished(0, Reply(200), kStart + seconds(31)));
    // The wait of a host is 60 s in all: 30 s more would pass it, so that reply is the verdict.
    EXPECT_TRUE(schedule.Finished(2, Reply(503, 31), kStart + seconds(31)));
    EXPECT_FALSE(schedule.HoldEnd(kStart + seconds(31)));
}

TEST(HostScheduleTest, ALinkRefusedAgainAfterAHoldEndsTheWaitForItsHost) {
    HostSchedule schedule({64, 2, false, true});
    for (int i = 0; i < 4; ++i) schedule.Add("a:80", false);
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{0, 1}));
    EXPECT_FALSE(schedule.Finished(0, Reply(429, 10), kStart));
    EXPECT_FALSE(schedule.Finished(1, Reply(429, 20), kStart));
    EXPECT_EQ(schedule.HoldEnd(kStart), kStart + seconds(20));
    EXPECT_EQ(Drain(schedule, kStart + seconds(20)), (std::vector<std::size_t>{1, 0}));
    EXPECT_TRUE(schedule.Finished(1, Reply(429, 10), kStart + seconds(20)));
    // The host's other links are asked at once, and their own replies are their verdicts.
    EXPECT_EQ(Drain(schedule, kStart + seconds(20)), (std::vector<std::size_t>{2}));
    EXPECT_TRUE(schedule.Finished(0, Reply(503, 5), kStart + seconds(20)));
    EXPECT_TRUE(schedule.Finished(2, Reply(429, 5), kStart + seconds(20)));
    EXPECT_EQ(Drain(schedule, kStart + seconds(20)), (std::vector<std::size_t>{3}));
}

TEST(HostScheduleTest, RepliesThatAskForLongerThanTheRunWaitsAreVerdictsAtOnce) {
    // Four links answered 429 with Retry-After 999999, and one 503 with 120 on each of five hosts.
    HostSchedule schedule({64, 2, true, true});
    for (int i = 0; i < 4; ++i) schedule.Add("busy:80", false);
    for (int i = 0; i < 5; ++i) schedule.Add("host" + std::to_string(i) + ":80", false);
    int verdicts = 0;
    int confirming = 0;
    for (int turn = 0; turn < 20 && verdicts < 9; ++turn) {
        for (std::size_t job : Drain(schedule, kStart)) {
            const RequestOutcome reply = job < 4 ? Reply(429, 999999) : Reply(503, 120);
            if (schedule.Finished(job, reply, kStart)) {
                verdicts += 1;
            } else {
                confirming += 1;
            }
        }
    }
    EXPECT_EQ(verdicts, 9);
    EXPECT_EQ(confirming, 9) << "each asked a second time, as --confirm says, no more";
    EXPECT_FALSE(schedule.HoldEnd(kStart));
}

TEST(HostScheduleTest, ConfirmAsksPassingFailuresAgainAfterThePassOneAtATimePerHost) {
    HostSchedule schedule({8, 4, true, true});
    schedule.Add("a:80", false);
    schedule.Add("a:80", false);
    schedule.Add("a:80", false);
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{0, 1, 2}));
    EXPECT_FALSE(schedule.Finished(0, Reply(403), kStart));
    EXPECT_FALSE(schedule.Finished(1, Reply(500), kStart));
    EXPECT_TRUE(Drain(schedule, kStart).empty()) << "the pass is not over";
    EXPECT_TRUE(schedule.Finished(2, Reply(404), kStart));
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{0}));
    EXPECT_TRUE(schedule.AsBrowser(0));
    EXPECT_FALSE(schedule.AsBrowser(1));
    EXPECT_TRUE(schedule.Finished(0, Reply(403), kStart));
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{1}));
}

TEST(HostScheduleTest, WithoutHoldsEveryReplyIsItsLinksVerdict) {
    HostSchedule schedule({1, 1, false, false});
    schedule.Add("a:80", false);
    schedule.Add("a:80", false);
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{0}));
    EXPECT_TRUE(schedule.Finished(0, Reply(429, 1), kStart));
    EXPECT_EQ(Drain(schedule, kStart), (std::vector<std::size_t>{1}));
}

TEST(HostScheduleTest, HostKeysNameHostAndPort) {
    EXPECT_EQ(HostKeyOf("HTTP://User@Example.COM/x"), "example.com:80");
    EXPECT_EQ(HostKeyOf("https://[::1]/"), "[::1]:443");
    EXPECT_EQ(HostKeyOf("ftp://h:2121/f"), "h:2121");
    EXPECT_EQ(HostKeyOf("mailto:x@y"), "");
}

}  // namespace
}  // namespace tolva
