#include "verify/verification_run.h"

#include <gtest/gtest.h>

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

    int RunOnce() {
        view = RecordingProgressView();
        view.onStatus = onStatus;
        VerificationRun run(set, view, repair, prompter);
        run.requestOptions.noProxy = "*";
        run.timeoutSeconds = 5;
        run.interactiveRepair = interactiveRepair;
        run.renameInPlace = renameInPlace;
        int result = view.DoModal(run);
        tested = run.tested;
        failed = run.failed;
        restored = run.restored;
        failingLinks = run.failingLinks;
        modified = run.modified;
        message = run.message;
        return result;
    }

    LoopbackServer server;
    UrlSet set;
    RecordingProgressView view;
    ScriptedRepair repair;
    RecordingPrompter prompter;
    std::function<void(const std::string&, VerificationRun&)> onStatus;
    int interactiveRepair = 0;
    int renameInPlace = 0;
    int tested = 0, failed = 0, restored = 0, failingLinks = 0, modified = 0;
    std::string message;
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

    EXPECT_EQ(RunOnce(), Complete);
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "+Gone", "a410", "-", "+Page not found", "b404",
                                                      "a404", "top", "-", "-", "+A", "works", "-", "+B", "-", "-"}));
    EXPECT_EQ(FindLink(set, "a404")->preservedLocation, "\\A");
    EXPECT_EQ(FindLink(set, "a404")->flags, LocationPreserved);
    EXPECT_EQ(FindLink(set, "top")->preservedLocation, "\\");
    EXPECT_EQ(tested, 5);
    EXPECT_EQ(failed, 4);
    EXPECT_EQ(modified, 1);
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
    EXPECT_EQ(RunOnce(), Complete);
    EXPECT_EQ(tested, 3);
    EXPECT_EQ(failed, 2);
    EXPECT_EQ(modified, 1);
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

    EXPECT_EQ(RunOnce(), Complete);
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
    EXPECT_EQ(modified, 1);
}

TEST_F(VerificationRunTest, LinksMovedIntoALaterUnverifiedFolderAreNotTestedAgain) {
    Add("x", "/status/404");
    Folder("Unverified");
    End();
    End();
    EXPECT_EQ(RunOnce(), Complete);
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
    EXPECT_EQ(RunOnce(), Complete);
    EXPECT_EQ(RunOnce(), Complete);
    // Still counted and saved when it stays where it is.
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(modified, 1);
    EXPECT_EQ(Outline(set),
              (std::vector<std::string>{"+Unverified", "+Service unavailable", "flaky", "-", "-", "+A", "-", "-"}));
    link->url = server.Url("/status/200");
    EXPECT_EQ(RunOnce(), Complete);
    EXPECT_EQ(Outline(set),
              (std::vector<std::string>{"+Unverified", "+Service unavailable", "-", "-", "+A", "flaky", "-", "-"}));
    EXPECT_EQ(restored, 1);
}

TEST_F(VerificationRunTest, RenameInPlaceTwiceKeepsThePreviousName) {
    renameInPlace = 1;
    Folder("A");
    Add("Name", "/status/404");
    End();
    End();
    RunOnce();
    RunOnce();
    UrlEntry* link = set.FindFolder("\\A")->next;
    const std::string once = "Name " + kSoftHyphen + " Page not found";
    EXPECT_EQ(link->name, once + " " + kSoftHyphen + " Page not found");
    EXPECT_EQ(link->preservedName, once);
    EXPECT_EQ(link->flags & (NamePreserved | ChangedByVerification), NamePreserved | ChangedByVerification);
    EXPECT_EQ(Outline(set)[0], "+Unverified");
    EXPECT_EQ(Outline(set)[1], "-");
}

TEST_F(VerificationRunTest, RepairAnswersIgnoreRejectOrRetest) {
    interactiveRepair = 1;
    Add("ignored", "/status/404");
    Add("emptied", "/status/404");
    Add("rejected", "/status/404");
    Add("repaired", "/status/404");
    End();
    repair.answers = {RepairAnswer{kDialogOk, ""}, RepairAnswer{kDialogOk, " \r\n "}, RepairAnswer{kDialogCancel, ""},
                      RepairAnswer{kDialogOk, "\"" + server.Url("/status/500") + "\"\n"},
                      RepairAnswer{kDialogOk, "  " + server.Url("/status/200") + "\r\n"}};
    EXPECT_EQ(RunOnce(), Complete);

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
    EXPECT_EQ(RunOnce(), Complete);
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(view.urls, (std::vector<std::string>{server.Url("/with space/\xC3\xA9")}));
    set.Clear();
    set.format = UrlSetFormat::Mosaic;
    Add("plain", "/with space/&#233;");
    End();
    EXPECT_EQ(RunOnce(), Complete);
    EXPECT_EQ(failed, 1);
}

TEST_F(VerificationRunTest, StopDuringARequestLeavesThatLinkUntested) {
    for (int stopCode : {Incomplete, Canceled}) {
        SCOPED_TRACE(stopCode);
        set.Close();
        Add("fails", "/status/404");
        Add("stalls", "/stall");
        End();
        onStatus = [&](const std::string& status, VerificationRun& run) {
            if (status != "Request sent; waiting for response" || view.names.back() != "stalls") return;
            if (stopCode == Incomplete) run.OnOK();
            if (stopCode == Canceled) run.OnCancel();
        };
        EXPECT_EQ(RunOnce(), stopCode);
        EXPECT_EQ(tested, 1);
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(modified, stopCode == Incomplete ? 1 : 0);
        EXPECT_EQ(Outline(set),
                  (std::vector<std::string>{"+Unverified", "+Page not found", "fails", "-", "-", "stalls", "-"}));
        EXPECT_EQ(FindLink(set, "stalls")->flags, 0);
    }
}

TEST_F(VerificationRunTest, StopWhileTheRepairQuestionIsOpen) {
    // OK keeps the typed URL but does not test it; Cancel changes nothing at all.
    for (int stopCode : {Incomplete, Canceled}) {
        SCOPED_TRACE(stopCode);
        set.Close();
        interactiveRepair = 1;
        UrlEntry* link = Add("broken", "/status/404");
        End();
        const std::string original = link->url.str();
        repair.onAsk = [&] {
            if (stopCode == Incomplete) view.run->OnOK();
            if (stopCode == Canceled) view.run->OnCancel();
        };
        repair.answers = {RepairAnswer{kDialogOk, server.Url("/status/200")}};
        EXPECT_EQ(RunOnce(), stopCode);
        EXPECT_EQ(link->url, stopCode == Incomplete ? server.Url("/status/200") : original);
        EXPECT_EQ(modified, stopCode == Incomplete ? 1 : 0);
        EXPECT_EQ(tested, 1);
        EXPECT_EQ(failed, 1);
        EXPECT_EQ(server.Hits("/status/200"), 0);
    }
}

TEST_F(VerificationRunTest, EmptySetCompletesWithNothingToSave) {
    End();
    EXPECT_EQ(RunOnce(), Complete);
    EXPECT_EQ(message, "0 URLs tested; 0 did not work.");
    EXPECT_EQ(modified, 0);
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"+Unverified", "-", "-"}));
}

}  // namespace
}  // namespace tolva
