#include "verify/verification_run.h"

#include <gtest/gtest.h>

#include <chrono>
#include <regex>

#include "formats/set_storage.h"
#include "resources/strings.h"
#include "support/loopback_server.h"
#include "support/recording.h"
#include "support/verify_fakes.h"

namespace tolva {
namespace {

using testing::LoopbackServer;
using testing::RecordingProgressView;
using testing::RecordingPrompter;
using testing::RepairAnswer;
using testing::ScriptedRepair;

const std::string kSoftHyphen = "\xC2\xAD";

// The set as text: "+Name" opens a folder, "-" closes one, a link is its name.
std::vector<std::string> Outline(const UrlSet& set) {
    std::vector<std::string> out;
    for (const UrlEntry* e = set.root.next; e; e = e->next) {
        if (e->kind == UrlEntryKind::FolderStart) out.push_back("+" + e->name);
        if (e->kind == UrlEntryKind::FolderEnd) out.push_back("-");
        if (e->kind == UrlEntryKind::Link) out.push_back(e->name.str());
    }
    return out;
}

UrlEntry* FindLink(const UrlSet& set, const std::string& name) {
    for (UrlEntry* e = set.root.next; e; e = e->next) {
        if (e->kind == UrlEntryKind::Link && e->name == name) return e;
    }
    return nullptr;
}

class VerificationRunTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Running()); }

    void Folder(const std::string& name) { set.Append(new UrlEntry(UrlEntryKind::FolderStart, name)); }
    void End() { set.Append(new UrlEntry(UrlEntryKind::FolderEnd, "")); }
    UrlEntry* Add(const std::string& name, const std::string& path, const std::string& preservedLocation = "",
                  const std::string& preservedName = "") {
        auto* entry = new UrlEntry(UrlEntryKind::Link, name, server.Url(path));
        entry->preservedLocation = preservedLocation;
        entry->preservedName = preservedName;
        set.Append(entry);
        set.linkCount += 1;
        return entry;
    }

    VerifyResult RunOnce() {
        view = RecordingProgressView();
        view.onStatus = onStatus;
        settings.timeoutSeconds = 5;
        VerificationRun run(set, settings, view, repair, prompter);
        run.requestOptions.noProxy = "*";
        VerifyResult result = view.DoModal(run);
        skipped = run.counts.skipped;
        tested = run.counts.tested;
        failed = run.counts.failedTests;
        restored = run.counts.restored;
        failingLinks = run.counts.failingLinks;
        modified = run.modified;
        message = run.message;
        records = run.records;
        return result;
    }

    LoopbackServer server;
    UrlSet set;
    SetStorage storage{set};
    RecordingProgressView view;
    ScriptedRepair repair;
    RecordingPrompter prompter;
    std::function<void(const std::string&, VerificationRun&)> onStatus;
    VerifySettings settings;
    int skipped = 0;
    int tested = 0, failed = 0, restored = 0, failingLinks = 0;
    bool modified = false;
    std::string message;
    std::vector<LinkRecord> records;
};

TEST_F(VerificationRunTest, FirstRunCreatesUnverifiedOnTopWithNewestErrorFolderFirst) {
    Add("top", "/status/404");
    Folder("A");
    Add("a404", "/status/404");
    Add("a410", "/status/410");
    Add("works", "/redirect/1");
    End();
    Folder("B");
    Add("b404", "/status/404");
    End();
    End();

    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "+Gone", "a410", "-", "+Page not found", "b404",
                                                      "a404", "top", "-", "-", "+A", "works", "-", "+B", "-", "-"}));
    EXPECT_EQ(FindLink(set, "a404")->preservedLocation, "\\A");
    EXPECT_EQ(FindLink(set, "a404")->flags, LocationPreserved);
    EXPECT_EQ(FindLink(set, "top")->preservedLocation, "\\");
    EXPECT_EQ(tested, 5);
    EXPECT_EQ(failed, 4);
    EXPECT_TRUE(modified);
    EXPECT_EQ(message, "5 URLs tested; 4 did not work.");
    EXPECT_EQ(view.rangeMax, 5);
    EXPECT_EQ(view.testingLines.front(), "Testing link 1 of 5.");
    EXPECT_EQ(view.testingLines.back(), "Testing link 5 of 5.");
    EXPECT_EQ(view.lastErrors.back(), "b404 | " + server.Url("/status/404") + " | Page not found");
    // The first request's texts, in order, after the run's own "Starting".
    EXPECT_EQ(
        std::vector<std::string>(view.statuses.begin(), view.statuses.begin() + 5),
        (std::vector<std::string>{"Starting", "Resolving host name to get IP #", "Have IP #; now connecting to host",
                                  "Request sent; waiting for response", "Request complete; validating results"}));
}

TEST_F(VerificationRunTest, ReplyLibcurlCannotHoldFailsOnlyItsOwnLink) {
    // libcurl reports a header line over 100 KB as out of memory; that is this link's error.
    Add("before", "/status/404");
    Add("huge header", "/long-header");
    Add("after", "/status/200");
    End();
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(tested, 3);
    EXPECT_EQ(failed, 2);
    EXPECT_TRUE(modified);
    EXPECT_TRUE(prompter.shown.empty());
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "+Invalid reply", "huge header", "-",
                                                      "+Page not found", "before", "-", "-", "after", "-"}));
    EXPECT_EQ(server.Hits("/status/200"), 1);
}

TEST_F(VerificationRunTest, WorkingLinksGoBackToTheirFolderOrTheRootOnce) {
    Folder("Unverified");
    Folder("Page not found");
    Add("r1", "/status/200", "\\A", "old name");
    Add("r2", "/status/200", "");
    Add("r3", "/status/200", "\\Missing");
    End();
    End();
    Folder("A");
    Add("a1", "/status/200");
    End();
    End();

    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"r2", "+Unverified", "+Page not found", "r3", "-", "-", "+A",
                                                      "old name", "a1", "-", "-"}));
    UrlEntry* r1 = FindLink(set, "old name");
    EXPECT_EQ(r1->preservedName, "r1");
    EXPECT_EQ(r1->preservedLocation, "\\Unverified\\Page not found");
    EXPECT_EQ(r1->flags, LocationPreserved | ChangedByVerification);
    // r1 moved ahead of the loop into A, and is not tested a second time there.
    EXPECT_EQ(tested, 4);
    EXPECT_EQ(server.Hits("/status/200"), 4);
    EXPECT_EQ(message, "4 URLs tested; 0 failed, 2 restored.");
    EXPECT_TRUE(modified);
}

TEST_F(VerificationRunTest, LinksMovedIntoALaterUnverifiedFolderAreNotTestedAgain) {
    Add("x", "/status/404");
    Folder("Unverified");
    End();
    End();
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(tested, 1);
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(view.testingLines, std::vector<std::string>{"Testing link 1 of 1."});
    EXPECT_EQ(server.Hits("/status/404"), 1);
}

TEST_F(VerificationRunTest, LinkThatFailsTwiceThenWorksReturnsToItsFolder) {
    Folder("A");
    UrlEntry* link = Add("flaky", "/status/503");
    End();
    End();
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    // Still counted and saved when it stays where it is.
    EXPECT_EQ(failed, 1);
    EXPECT_TRUE(modified);
    EXPECT_EQ(Outline(set),
              (std::vector<std::string>{"+Unverified", "+Service unavailable", "flaky", "-", "-", "+A", "-", "-"}));
    link->url = server.Url("/status/200");
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(Outline(set),
              (std::vector<std::string>{"+Unverified", "+Service unavailable", "-", "-", "+A", "flaky", "-", "-"}));
    EXPECT_EQ(restored, 1);
}

TEST_F(VerificationRunTest, RenameInPlaceKeepsOneErrorTextAndGivesTheNameBackWhenTheLinkWorks) {
    settings.renameInPlace = true;
    Folder("A");
    UrlEntry* link = Add("Name", "/status/404");
    // As earlier versions left a link renamed twice: two error texts, a renamed former name.
    const std::string gone = " " + kSoftHyphen + " Gone";
    UrlEntry* old = Add("Old" + gone + gone, "/status/200", "", "Old" + gone);
    old->flags = NamePreserved | ChangedByVerification;
    End();
    End();
    RunOnce();
    link->url = server.Url("/status/410");
    RunOnce();
    EXPECT_EQ(link->name, "Name" + gone);
    EXPECT_EQ(link->preservedName, "Name");
    EXPECT_EQ(link->flags & (NamePreserved | ChangedByVerification), NamePreserved | ChangedByVerification);
    EXPECT_EQ(old->name, "Old");
    EXPECT_TRUE(old->preservedName.empty());
    EXPECT_EQ(old->flags & (NamePreserved | ChangedByVerification), 0);

    link->url = server.Url("/status/200");
    RunOnce();
    EXPECT_EQ(link->name, "Name");
    EXPECT_TRUE(link->preservedName.empty());
    EXPECT_EQ(restored, 1);
    EXPECT_TRUE(modified);
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "-", "+A", "Name", "Old", "-", "-"}));
}

TEST_F(VerificationRunTest, RepairAnswersIgnoreRejectOrRetest) {
    settings.interactiveRepair = true;
    Add("ignored", "/status/404");
    Add("emptied", "/status/404");
    Add("rejected", "/status/404");
    Add("repaired", "/status/404");
    End();
    repair.answers = {RepairAnswer{kDialogOk, ""}, RepairAnswer{kDialogOk, " \r\n "}, RepairAnswer{kDialogCancel, ""},
                      RepairAnswer{kDialogOk, "\"" + server.Url("/status/500") + "\"\n"},
                      RepairAnswer{kDialogOk, "  " + server.Url("/status/200") + "\r\n"}};
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);

    EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "+Page not found", "rejected", "-", "-", "ignored",
                                                      "emptied", "repaired", "-"}));
    EXPECT_EQ(FindLink(set, "repaired")->url, server.Url("/status/200"));
    ASSERT_EQ(repair.asked.size(), 5u);
    EXPECT_EQ(repair.asked[0].errorText, "Not Found");
    EXPECT_EQ(repair.asked[0].newUrl, repair.asked[0].url);
    // The quotes were stored escaped, so the retest asked for a different URL.
    EXPECT_EQ(repair.asked[4].url, "%22" + server.Url("/status/500") + "%22");
    EXPECT_EQ(tested, 4);
    EXPECT_EQ(failed, 5);
    EXPECT_EQ(failingLinks, 3);
    EXPECT_EQ(message, "4 URLs tested; 3 did not work, 1 repaired.") << "a repaired link that works is no failure";
    EXPECT_EQ(repair.asked[4].errorText, "Protocol not supported");
}

TEST_F(VerificationRunTest, ABookmarkFilesUrlIsRequestedDecoded) {
    // The file holds "/with space/é" as HTML; a hotlist's URL is taken as it stands.
    Add("html", "/with space/&#233;");
    End();
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(view.urls, (std::vector<std::string>{server.Url("/with space/\xC3\xA9")}));
    set.Clear();
    set.format = UrlSetFormat::Mosaic;
    Add("plain", "/with space/&#233;");
    End();
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(failed, 1);
}

TEST_F(VerificationRunTest, StopDuringARequestLeavesThatLinkUntested) {
    for (VerifyResult stopCode : {VerifyResult::Incomplete, VerifyResult::Canceled}) {
        SCOPED_TRACE(static_cast<int>(stopCode));
        storage.Close();
        Add("fails", "/status/404");
        Add("stalls", "/stall");
        End();
        onStatus = [&](const std::string& status, VerificationRun& run) {
            if (status != "Request sent; waiting for response" || view.names.back() != "stalls") return;
            if (stopCode == VerifyResult::Incomplete) run.OnOK();
            if (stopCode == VerifyResult::Canceled) run.OnCancel();
        };
        EXPECT_EQ(RunOnce(), stopCode);
        EXPECT_EQ(tested, 1);
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(modified, stopCode == VerifyResult::Incomplete);
        EXPECT_EQ(Outline(set),
                  (std::vector<std::string>{"+Unverified", "+Page not found", "fails", "-", "-", "stalls", "-"}));
        EXPECT_EQ(FindLink(set, "stalls")->flags, 0);
    }
}

TEST_F(VerificationRunTest, StopWhileTheRepairQuestionIsOpen) {
    // OK keeps the typed URL but does not test it; Cancel changes nothing at all.
    for (VerifyResult stopCode : {VerifyResult::Incomplete, VerifyResult::Canceled}) {
        SCOPED_TRACE(static_cast<int>(stopCode));
        storage.Close();
        settings.interactiveRepair = true;
        UrlEntry* link = Add("broken", "/status/404");
        End();
        const std::string original = link->url.str();
        repair.onAsk = [&] {
            if (stopCode == VerifyResult::Incomplete) view.run->OnOK();
            if (stopCode == VerifyResult::Canceled) view.run->OnCancel();
        };
        repair.answers = {RepairAnswer{kDialogOk, server.Url("/status/200")}};
        EXPECT_EQ(RunOnce(), stopCode);
        EXPECT_EQ(link->url, stopCode == VerifyResult::Incomplete ? server.Url("/status/200") : original);
        EXPECT_EQ(modified, stopCode == VerifyResult::Incomplete);
        EXPECT_EQ(tested, 1);
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(server.Hits("/status/200"), 0);
    }
}

TEST_F(VerificationRunTest, EmptySetCompletesWithNothingToSave) {
    End();
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(message, "0 URLs tested; 0 did not work.");
    EXPECT_FALSE(modified);
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "-", "-"}));
}

// Everything a run leaves in the set and its counters, to compare one run with another.
struct RunPicture {
    std::vector<std::string> outline;
    std::vector<std::string> links;  // name, URL, preserved name and location, flags
    std::vector<int> counters;
    std::string message;
    bool operator==(const RunPicture&) const = default;
};

TEST_F(VerificationRunTest, ManyAtOnceLeaveTheSameSetAsOneAtATime) {
    RunPicture pictures[2];
    int hits[2] = {0, 0};
    for (int manyAtOnce : {0, 1}) {
        SCOPED_TRACE(manyAtOnce);
        storage.Close();
        // The slow link comes first, so later replies arrive before it.
        Add("slow", "/slow");
        Add("top404", "/status/404");
        Folder("Unverified");
        Folder("Page not found");
        Add("back", "/status/200", "\\A", "former");
        Add("stays", "/status/404");
        End();
        End();
        Folder("A");
        Add("a410", "/status/410");
        Add("a200", "/redirect/2");
        Add("again404", "/status/404");
        Add("dup1", "/status/500");
        End();
        Folder("B");
        Add("dup2", "/status/500");
        Add("b404", "/status/404");
        End();
        End();
        const int before = server.Hits("/status/500");
        settings.jobs = manyAtOnce ? 8 : 1;
        settings.perHost = manyAtOnce ? 8 : 0;
        EXPECT_EQ(RunOnce(), VerifyResult::Complete);
        hits[manyAtOnce] = server.Hits("/status/500") - before;
        RunPicture& picture = pictures[manyAtOnce];
        picture.outline = Outline(set);
        for (const UrlEntry* e = set.root.next; e; e = e->next) {
            if (e->kind != UrlEntryKind::Link) continue;
            picture.links.push_back(e->name.str() + "|" + e->url.str() + "|" + e->preservedName.str() + "|" +
                                    e->preservedLocation.str() + "|" + std::to_string(e->flags));
        }
        picture.counters = {tested, failed, restored, failingLinks, modified ? 1 : 0};
        picture.message = message;
    }
    EXPECT_EQ(pictures[1].outline, pictures[0].outline);
    EXPECT_EQ(pictures[1].links, pictures[0].links);
    EXPECT_EQ(pictures[1].counters, pictures[0].counters);
    EXPECT_EQ(pictures[1].message, pictures[0].message);
    // A URL that occurs twice is asked for once when many go at once.
    EXPECT_EQ(hits[0], 2);
    EXPECT_EQ(hits[1], 1);
}

TEST_F(VerificationRunTest, ManyAtOnceKeepToTheLimitForOneHost) {
    for (int i = 0; i < 6; ++i) Add("held" + std::to_string(i), "/hold/" + std::to_string(i));
    End();
    settings.jobs = 6;
    settings.perHost = 2;
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(tested, 6);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(server.MaxInFlight(), 2);
    // Regression: the window said "Testing link 2 of 6" beside the sixth link, under test.
    const std::regex line(R"((\d+) of 6 links tested; (\d+) under test\.)");
    int lastDone = 0;
    for (const std::string& text : view.testingLines) {
        std::smatch part;
        ASSERT_TRUE(std::regex_match(text, part, line)) << text;
        EXPECT_GE(std::stoi(part[1]), lastDone) << text;
        EXPECT_LE(std::stoi(part[2]), 2) << text;
        lastDone = std::stoi(part[1]);
    }
    EXPECT_EQ(view.testingLines.back(), "6 of 6 links tested; 0 under test.");
}

TEST_F(VerificationRunTest, RetryAfterIsWaitedForAndTheLinkThenWorks) {
    Folder("A");
    Add("busy", "/retry-after/1");
    End();
    End();
    settings.jobs = 2;
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    EXPECT_EQ(server.Hits("/retry-after/1"), 2);
    EXPECT_EQ(failed, 0);
    EXPECT_FALSE(modified);
}

TEST_F(VerificationRunTest, ConfirmTurnsAPassingFailureIntoAWorkingLinkOnly) {
    Folder("A");
    Add("flaky", "/flaky/1");
    Add("refuses robots", "/browser");
    Add("gone", "/status/404");
    End();
    End();
    settings.confirm = true;
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "+Page not found", "gone", "-", "-", "+A", "flaky",
                                                      "refuses robots", "-", "-"}));
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(tested, 3);
    EXPECT_EQ(server.Hits("/flaky/1"), 2);
    EXPECT_EQ(server.Hits("/browser"), 2);
    // A 404 is not asked twice.
    EXPECT_EQ(server.Hits("/status/404"), 1);
}

TEST_F(VerificationRunTest, StopWithManyAtOnceEndsEveryTransfer) {
    for (int i = 0; i < 4; ++i) Add("stalls" + std::to_string(i), "/stall?" + std::to_string(i));
    End();
    settings.jobs = 4;
    settings.perHost = 4;
    onStatus = [&](const std::string& status, VerificationRun& run) {
        if (status == "Request sent; waiting for response") run.OnCancel();
    };
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunOnce(), VerifyResult::Canceled);
    // Each /stall would fail only after the 5 s time-out: the run ended well before.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
    EXPECT_EQ(tested, 0);
    EXPECT_FALSE(modified);
}

TEST_F(VerificationRunTest, LinksThatAreNoWebLinksAreSkippedNotMoved) {
    const char* others[] = {"javascript:alert(1)", "mailto:someone@example.com", "place:sort=8",      "about:blank",
                            "data:text/plain,hi",  "news:comp.lang.c",           "file:///etc/passwd"};
    Folder("A");
    for (const char* url : others) {
        auto* entry = new UrlEntry(UrlEntryKind::Link, url, url);
        set.Append(entry);
        set.linkCount += 1;
    }
    Add("dead", "/status/404");
    End();
    End();
    settings.interactiveRepair = true;
    // A repaired URL with such a scheme is refused, as before.
    repair.answers = {RepairAnswer{kDialogOk, "mailto:someone@example.com"}};
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(skipped, 7);
    EXPECT_EQ(tested, 1);
    EXPECT_EQ(message, "1 URLs tested; 1 did not work.  7 skipped (not http, https or ftp).");
    EXPECT_EQ(Outline(set)[1], "+Protocol not supported");
    EXPECT_EQ(Outline(set)[5], "+A");
    EXPECT_EQ(Outline(set)[6], "javascript:alert(1)");
    EXPECT_EQ(view.testingLines, std::vector<std::string>{"Testing link 8 of 8."});
    ASSERT_EQ(repair.asked.size(), 2u);
    EXPECT_EQ(repair.asked[1].errorText, "Protocol not supported");
}

// Links left out by folder or URL pattern are never asked for, one at a time or many at once.
TEST_F(VerificationRunTest, SkippedFoldersAndPatternsAreNeverRequestedAndStayWhereTheyAre) {
    settings.skipFolders = {"\\Old"};
    settings.skipPatterns = {"*/status/410"};
    settings.keepRecords = true;
    for (int jobs : {1, 4}) {
        SCOPED_TRACE(jobs);
        storage.Close();
        Folder("Old");
        Folder("Deeper");
        Add("old", "/status/404");
        End();
        End();
        Folder("Older");
        Add("older", "/status/502");
        End();
        Add("pattern", "/status/410");
        Add("alive", "/status/200");
        End();
        settings.jobs = jobs;
        const int olderHits = server.Hits("/status/502");
        EXPECT_EQ(RunOnce(), VerifyResult::Complete);
        EXPECT_EQ(server.Hits("/status/404") + server.Hits("/status/410"), 0);
        EXPECT_EQ(server.Hits("/status/502"), olderHits + 1);
        EXPECT_EQ(message, "2 URLs tested; 1 did not work.  2 skipped as asked.");
        EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "+Bad gateway", "older", "-", "-", "+Old",
                                                          "+Deeper", "old", "-", "-", "+Older", "-", "pattern",
                                                          "alive", "-"}));
        ASSERT_EQ(records.size(), 4u);
        EXPECT_EQ(records[0].name + "|" + records[0].action + "|" + records[0].errorText,
                  "old|skipped|not tested: in a folder left out");
        EXPECT_EQ(records[2].action + "|" + records[2].errorText,
                  "skipped|not tested: its URL matches a pattern left out");
    }
}

// Only the links a run set aside are asked for: a link in Unverified that works goes back, a link
// renamed in place that fails again keeps one error text, and nothing else is touched.
TEST_F(VerificationRunTest, OnlyUnverifiedAsksForTheLinksSetAsideAndNothingElse) {
    Folder("Unverified");
    Folder("Page not found");
    Add("back", "/redirect/1", "\\A");
    End();
    End();
    Folder("A");
    Add("outside", "/status/500");
    Add("renamed" + std::string(kErrorTextSeparator) + "Gone", "/status/410");
    End();
    End();
    settings.onlyUnverified = true;
    settings.renameInPlace = true;
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(server.Hits("/status/500"), 0);
    EXPECT_EQ(server.Hits("/status/410"), 1);
    EXPECT_EQ(tested, 2);
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(message, "2 URLs tested; 1 failed, 1 restored.  1 skipped as asked.");
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "+Page not found", "-", "-", "+A", "back",
                                                      "outside", "renamed" + std::string(kErrorTextSeparator) + "Gone", "-", "-"}));
}

TEST_F(VerificationRunTest, AMistypedSchemeFailsAsUnsupportedAndIsOfferedForRepair) {
    // Regression: "htp:" was skipped as a link of another kind and never offered for repair.
    auto* typo = new UrlEntry(UrlEntryKind::Link, "typo", "htp://127.0.0.1/x");
    set.Append(typo);
    set.linkCount += 1;
    End();
    settings.interactiveRepair = true;
    repair.answers = {RepairAnswer{kDialogOk, server.Url("/status/200")}};
    EXPECT_EQ(RunOnce(), VerifyResult::Complete);
    EXPECT_EQ(skipped, 0);
    ASSERT_EQ(repair.asked.size(), 1u);
    EXPECT_EQ(repair.asked[0].errorText, "Protocol not supported");
    EXPECT_EQ(typo->url, server.Url("/status/200"));
}

}  // namespace
}  // namespace tolva
