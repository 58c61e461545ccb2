#include "verify/verify_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <map>
#include <regex>
#include <utility>
#include <vector>

#include "formats/json_document.h"
#include "locations/recent_locations.h"
#include "platform/settings_store.h"
#include "resources/strings.h"
#include "support/failing_file.h"
#include "support/loopback_server.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"
#include "support/verify_fakes.h"
#include "formats/store_fields.h"
#include "translate/destination.h"
#include "verify/cookie_policy.h"

namespace tolva {
namespace {

using testing::FailingFiles;
using testing::LoopbackServer;
using testing::ReadFile;
using testing::RecordingProgressView;
using testing::ScriptedCookieWarning;
using testing::TempDir;
using testing::WriteFile;

const std::vector<unsigned char> kOn = {1, 0, 0, 0};
const std::vector<unsigned char> kOff = {0, 0, 0, 0};

class VerifyCommandTest : public ::testing::Test, protected testing::RecordingVerifyFrontEnd {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Running());
        path = dir.File("bookmarks.html");
    }
    void WriteSet(const std::vector<std::pair<std::string, std::string>>& links) {
        WriteFile(path, testing::WorkBookmarks(server, links));
    }
    void SetCookieValue(const std::vector<unsigned char>& value) {
        store.CreateKey(CookiePolicy::Key());
        store.SetBinary(CookiePolicy::Key(), CookiePolicy::ValueName(), value);
    }
    // The stored cookie value, or {9} when there is none.
    std::vector<unsigned char> CookieValue() {
        std::vector<unsigned char> value;
        if (!store.GetBinary(CookiePolicy::Key(), CookiePolicy::ValueName(), value)) return {9};
        return value;
    }
    VerifyOutcome Verify() {
        VerifySettings settings;
        settings.format = format;
        settings.location = path;
        settings.timeoutSeconds = 5;
        VerifyFrontEnd frontEnd = FrontEnd(store);
        frontEnd.requestOptions.failSetup = failSetup;
        settings.reportPath = reportPath;
        settings.dryRun = dryRun;
        settings.keepBackup = keepBackup;
        settings.updateMoved = updateMoved;
        settings.suggestArchive = suggestArchive;
        settings.archiveUrl = archiveUrl;
        settings.interactiveRepair = interactiveRepair;
        return RunVerification(storage, settings, frontEnd);
    }

    LoopbackServer server;
    TempDir dir;
    std::string path;
    SettingsStore store{dir.File("registry.reg")};
    UrlSet set;
    SetStorage storage{set};
    bool failSetup = false;
    std::string reportPath;
    bool dryRun = false;
    bool keepBackup = true;
    bool updateMoved = false;
    bool suggestArchive = false;
    std::string archiveUrl;
    bool interactiveRepair = false;
    UrlSetFormat format = UrlSetFormat::Netscape;
};

TEST_F(VerifyCommandTest, ChangedSetIsSavedAndTheStatusLineSaysSo) {
    SetCookieValue(kOn);
    WriteSet({{"dead", "/status/404"}, {"alive", "/status/200"}});
    VerifyOutcome outcome = Verify();
    EXPECT_EQ(outcome.end, VerifyEnd::Ran);
    EXPECT_EQ(outcome.result, VerifyResult::Complete);
    EXPECT_TRUE(outcome.saved);
    ASSERT_GE(status.history.size(), 2u);
    const std::string summary = "Verification complete.  2 URLs tested; 1 did not work.";
    EXPECT_EQ(status.history[status.history.size() - 2], summary + "\nSaving new URL set.");
    EXPECT_EQ(status.Current(), summary + "\nUpdated URL set saved.");
    std::string saved = ReadFile(path);
    EXPECT_NE(saved.find(">Unverified</H3>"), std::string::npos);
    EXPECT_NE(saved.find("PRE_VFY_LOC=\"\\Work\""), std::string::npos);
    EXPECT_EQ(cookies.shown, 0);
    // The set is closed and empty again, and the location is remembered for Verify.
    EXPECT_FALSE(storage.HasFile());
    EXPECT_EQ(set.root.next, nullptr);
    MemoryLocationBox remembered;
    LoadRecentLocations(store, RecentPage::Verify, UrlSetFormat::Netscape, remembered);
    EXPECT_EQ(remembered.Entries(), std::vector<std::string>{path});
}

TEST_F(VerifyCommandTest, SetWithOnlyWorkingLinksIsLeftAsItWas) {
    SetCookieValue(kOn);
    WriteSet({{"alive", "/status/200"}});
    const std::string before = ReadFile(path);
    VerifyOutcome outcome = Verify();
    EXPECT_FALSE(outcome.saved);
    EXPECT_EQ(status.Current(), "Verification complete.  1 URLs tested; 0 did not work.\nCurrent URL set unchanged.");
    EXPECT_EQ(ReadFile(path), before);
}

// Links named link0, link1, ..., the first failing ones answered 404 and the rest 200.
std::vector<std::pair<std::string, std::string>> MostlyFailing(int count, int failing) {
    std::vector<std::pair<std::string, std::string>> links;
    links.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        links.emplace_back("link" + std::to_string(i), i < failing ? "/status/404" : "/status/200");
    }
    return links;
}

TEST_F(VerifyCommandTest, RunsThatCannotBeRightSaveNothingUnlessConfirmed) {
    SetCookieValue(kOn);
    testing::RefusedPort refused;
    const std::string unreachable = "http://127.0.0.1:" + std::to_string(refused.Port()) + "/";
    WriteSet(std::vector(5, std::pair{std::string("cut off"), unreachable}));
    std::string before = ReadFile(path);
    VerifyOutcome outcome = Verify();
    EXPECT_EQ(outcome.end, VerifyEnd::NetworkDown);
    EXPECT_EQ(ReadFile(path), before);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_NE(prompter.shown.back().text.find("The network could not be reached"), std::string::npos);

    // Half is not most: saved without a question.
    WriteSet(MostlyFailing(20, 10));
    prompter.shown.clear();
    EXPECT_TRUE(Verify().saved);
    EXPECT_TRUE(prompter.shown.empty());

    WriteSet(MostlyFailing(20, 11));
    before = ReadFile(path);
    outcome = Verify();
    EXPECT_EQ(outcome.end, VerifyEnd::NotConfirmed);
    EXPECT_EQ(ReadFile(path), before);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back(), (testing::ShownMessage{"11 of 20 links did not work. Move them anyway?", "Tolva", true}));
    EXPECT_EQ(status.Current(), "Verification complete.  20 URLs tested; 11 did not work.\n"
                                "Nothing was saved: the links that did not work are left as they were.");
    prompter.ScriptAnswers({true});
    EXPECT_TRUE(Verify().saved);
}

TEST_F(VerifyCommandTest, SavedFileIsKeptAsItWasUnlessAskedNotTo) {
    SetCookieValue(kOn);
    const std::string backup = path + ".bak";
    WriteSet({{"dead", "/status/404"}});
    const std::string before = ReadFile(path);
    ASSERT_TRUE(Verify().saved);
    EXPECT_EQ(ReadFile(backup), before);
    EXPECT_NE(ReadFile(path), before);

    // No copy can be made where the backup goes: nothing is saved.
    std::filesystem::remove(backup);
    std::filesystem::create_directories(backup + "/in the way");
    WriteSet({{"dead", "/status/404"}});
    VerifyOutcome outcome = Verify();
    EXPECT_EQ(outcome.end, VerifyEnd::NotSaved);
    EXPECT_EQ(ReadFile(path), before);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back().text, "Error " + std::to_string(EISDIR) + " making the backup copy " + backup);

    keepBackup = false;
    EXPECT_TRUE(Verify().saved);
    EXPECT_TRUE(std::filesystem::is_directory(backup));
}

TEST_F(VerifyCommandTest, SaveFailureIsReportedNotHidden) {
    SetCookieValue(kOn);
    WriteSet({{"dead", "/status/404"}});
    // No write is accepted, as on a full disk.
    storage.SetFileFactory(FailingFiles({.goodWrites = 0}));
    VerifyOutcome outcome = Verify();
    EXPECT_EQ(outcome.end, VerifyEnd::NotSaved);
    EXPECT_FALSE(outcome.saved);
    EXPECT_EQ(prompter.shown.back().text, "Verify was unable to save the URL set.");
    EXPECT_EQ(prompter.shown.back().caption, "Tolva");
    EXPECT_EQ(status.Current(), "Verification complete.  1 URLs tested; 1 did not work.\nSaving new URL set.");
    EXPECT_FALSE(storage.HasFile());
}

TEST_F(VerifyCommandTest, ReadOnlyLocationIsReportedBeforeTheFirstRequest) {
    // No file can be made beside the set or in the folder, as on a read-only file system.
    struct Row {
        UrlSetFormat format;
        std::string location;
        std::string detail;
    };
    std::filesystem::create_directory(dir.File("shortcuts"));
    WriteFile(dir.File("shortcuts/dead.url"), "[InternetShortcut]\r\nURL=" + server.Url("/status/404") + "\r\n");
    WriteSet({{"dead", "/status/404"}});
    const Row rows[] = {
        {UrlSetFormat::Netscape, path, FormatString(IDS_SET_NOT_SAVED_FOLDER, {path, dir.Path().string()})},
        {UrlSetFormat::Shortcuts, dir.File("shortcuts"), FormatString(IDS_SHORTCUTS_NOT_SAVED_FOLDER, {dir.File("shortcuts")})}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.location);
        SetCookieValue(kOff);
        cookies.shown = 0;
        prompter.shown.clear();
        format = row.format;
        path = row.location;
        storage.SetFileFactory(FailingFiles({.createErrno = EROFS}));
        VerifyOutcome outcome = Verify();
        EXPECT_EQ(outcome.end, VerifyEnd::NotWritable);
        ASSERT_EQ(prompter.shown.size(), 2u);
        EXPECT_EQ(prompter.shown[0].text, row.detail);
        EXPECT_EQ(prompter.shown[1].text, "Verify was unable to save the URL set.");
        EXPECT_EQ(cookies.shown, 0);
        EXPECT_FALSE(storage.HasFile());
    }
    EXPECT_EQ(server.Hits("/status/404"), 0);
    EXPECT_EQ(testing::Tree(dir.File("shortcuts")), std::vector<std::string>{"dead.url"});
}

TEST_F(VerifyCommandTest, NoRequestMachineryEndsTheRunCleanlyWithNothingSaved) {
    SetCookieValue(kOff);
    WriteSet({{"dead", "/status/404"}});
    const std::string before = ReadFile(path);
    failSetup = true;
    VerifyOutcome outcome = Verify();
    EXPECT_EQ(outcome.end, VerifyEnd::NoRequests);
    EXPECT_EQ(outcome.result, VerifyResult::NotRun);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back().text, "InternetOpen returned 0.");
    EXPECT_EQ(prompter.shown.back().caption, "Tolva");
    EXPECT_EQ(status.Current(), "  InternetOpen returned 0.\nCurrent URL set unchanged.");
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(server.Hits("/status/404"), 0);
    EXPECT_FALSE(storage.HasFile());
    // The cookie acceptance for the run was taken back.
    EXPECT_EQ(CookieValue(), kOff);
}

TEST_F(VerifyCommandTest, MissingSetShowsBothMessagesAndNothingElse) {
    VerifyOutcome outcome = Verify();
    EXPECT_EQ(outcome.end, VerifyEnd::NotOpened);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[1].text, "Verify was unable to open the URL set.");
    EXPECT_EQ(prompter.shown[1].caption, "Tolva");
    EXPECT_TRUE(status.history.empty());
    EXPECT_EQ(cookies.shown, 0);
}

TEST_F(VerifyCommandTest, EveryFormatKeepsWhereAMovedLinkCameFrom) {
    SetCookieValue(kOn);
    struct Row {
        UrlSetFormat format;
        std::string location;
    };
    const Row rows[] = {{UrlSetFormat::Netscape, dir.File("set.html")},
                        {UrlSetFormat::Mosaic, dir.File("set.hot")},
                        {UrlSetFormat::Shortcuts, dir.File("set")},
                        {UrlSetFormat::Xbel, dir.File("set.xbel")}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        UrlSet written;
        SetStorage writtenStorage{written};
        written.Append(new UrlEntry(UrlEntryKind::FolderStart, "Work"));
        written.Append(new UrlEntry(UrlEntryKind::Link, "dead", server.Url("/status/404")));
        written.Append(new UrlEntry(UrlEntryKind::Link, "alive", server.Url("/status/200")));
        written.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        written.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        written.SetPrompter(&prompter);
        prompter.ScriptAnswers({true});  // yes, create the missing shortcut folder
        ASSERT_EQ(OpenDestination(writtenStorage, row.format, row.location), 1);
        ASSERT_EQ(writtenStorage.Write(), 1);
        writtenStorage.Close();

        path = row.location;
        format = row.format;
        VerifyOutcome outcome = Verify();
        EXPECT_TRUE(outcome.saved);
        EXPECT_EQ(outcome.counts.failingLinks, 1);

        // Read back: the dead link sits in its error folder, knowing where it came from.
        UrlSet reread;
        SetStorage rereadStorage{reread};
        ASSERT_EQ(testing::ReadSet(reread, row.format, row.location), 1);
        UrlEntry* folder = reread.FindFolder("\\Unverified\\Page not found");
        ASSERT_NE(folder, nullptr);
        ASSERT_NE(folder->next, nullptr);
        EXPECT_EQ(folder->next->name, "dead");
        // A hotlist has no place for it.
        if (row.format != UrlSetFormat::Mosaic) {
            EXPECT_EQ(folder->next->preservedLocation, "\\Work");
        }
        rereadStorage.Close();
    }
}

TEST_F(VerifyCommandTest, LinksThatMovedForGoodGetTheirNewUrlAndKeepTheFormerInEveryFormat) {
    SetCookieValue(kOn);
    updateMoved = true;
    const std::vector<std::pair<std::string, std::string>> links = {
        {"moved", "/hop/301/page/new"},         {"twice", "/redirect/2"},
        {"temporary", "/hop/302/page/new"},     {"then temporary", "/hop/301/hop/302/page/new"},
        {"to the front page", "/hop/301/"},     {"to a log-in", "/hop/301/page/login"}};
    struct Row {
        UrlSetFormat format;
        std::string location;
        std::string former;  // how the file keeps the former URL
    };
    const std::string moved = server.Url("/hop/301/page/new");
    const Row rows[] = {{UrlSetFormat::Netscape, dir.File("moved.html"), "PRE_VFY_URL=\"" + moved + "\""},
                        {UrlSetFormat::Xbel, dir.File("moved.xbel"),
                         "<tolva:attribute name=\"PRE_VFY_URL\" value=\"" + moved + "\"/>"},
                        {UrlSetFormat::Shortcuts, dir.File("moved"), "[Tolva]\r\nPreVfyUrl=" + moved + "\r\n"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.format);
        UrlSet written;
        SetStorage writtenStorage{written};
        for (const auto& [name, urlPath] : links) {
            written.Append(new UrlEntry(UrlEntryKind::Link, name, server.Url(urlPath)));
        }
        written.SetPrompter(&prompter);
        prompter.ScriptAnswers({true});  // yes, create the missing shortcut folder
        ASSERT_EQ(OpenDestination(writtenStorage, row.format, row.location), 1);
        ASSERT_EQ(writtenStorage.Write(), 1);
        writtenStorage.Close();

        path = row.location;
        format = row.format;
        reportPath = dir.File("report.csv");
        VerifyOutcome outcome = Verify();
        ASSERT_TRUE(outcome.saved);
        EXPECT_EQ(outcome.counts.updated, 2);
        EXPECT_NE(outcome.summary.find("6 URLs tested; 0 did not work.  2 updated (moved permanently)."),
                  std::string::npos)
            << outcome.summary;
        EXPECT_NE(ReadFile(reportPath).find("," + moved + "," + server.Url("/page/new") + ",200,,"),
                  std::string::npos);
        EXPECT_NE(ReadFile(row.format == UrlSetFormat::Shortcuts ? row.location + "/moved.url" : row.location)
                      .find(row.former),
                  std::string::npos);

        UrlSet reread;
        ASSERT_EQ(testing::ReadSet(reread, row.format, row.location), 1);
        std::map<std::string, std::pair<std::string, std::string>> read;
        for (UrlEntry* entry = reread.root.next; entry; entry = entry->next) {
            if (entry->kind != UrlEntryKind::Link) continue;
            read[entry->name.str()] = {entry->url.str(), store::FindKeptAttribute(entry->extraAttributes,
                                                                                   store::kPreservedUrl)
                                                             .value_or("")};
        }
        EXPECT_EQ(read["moved"], std::pair(server.Url("/page/new"), moved));
        EXPECT_EQ(read["twice"], std::pair(server.Url("/redirect/0"), server.Url("/redirect/2")));
        for (const auto& [name, urlPath] : links) {
            if (name != "moved" && name != "twice") {
                EXPECT_EQ(read[name], std::pair(server.Url(urlPath), std::string())) << name;
            }
        }
    }
}

TEST_F(VerifyCommandTest, XbelFileMovesAFailingLinkOutAndBackWhenItWorksAgain) {
    SetCookieValue(kOn);
    path = dir.File("places.xbel");
    format = UrlSetFormat::Xbel;
    WriteFile(path, "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"><folder><title>Work</title>\n<bookmark href=\"" +
                        server.Url("/status/404") + "\"><title>dead</title></bookmark>\n<bookmark href=\"" +
                        server.Url("/status/200") + "\"><title>alive</title></bookmark></folder></xbel>\n");
    VerifyOutcome first = Verify();
    ASSERT_TRUE(first.saved);
    EXPECT_EQ(first.counts.failingLinks, 1);
    const std::string moved = ReadFile(path);
    EXPECT_NE(moved.find("location=\"\\Work\""), std::string::npos) << moved;

    // The site answers again: the link goes back to its folder, and "Unverified" is left empty.
    std::string mended = moved;
    mended.replace(mended.find("/status/404"), 11, "/status/200");
    WriteFile(path, mended);
    storage.Close();
    VerifyOutcome second = Verify();
    ASSERT_TRUE(second.saved);
    EXPECT_EQ(second.counts.failingLinks, 0);
    UrlSet reread;
    ASSERT_EQ(testing::ReadSet(reread, format, path), 1);
    std::vector<std::string> links;
    reread.Rewind();
    for (UrlEntry* entry = reread.Next(); entry; entry = reread.Next()) {
        if (entry->kind == UrlEntryKind::Link) links.push_back(reread.GetCurrentPath() + " " + entry->name);
    }
    std::sort(links.begin(), links.end());
    EXPECT_EQ(links, (std::vector<std::string>{"\\Work alive", "\\Work dead"}));
}

// The refusal names the set's own format.
TEST_F(VerifyCommandTest, StoresThatCannotBeSavedBackAreRefusedBeforeAnyRequest) {
    for (const auto& [refused, named] : {std::pair{UrlSetFormat::Chromium, "Chromium bookmarks"},
                                         {UrlSetFormat::Firefox, "Firefox bookmarks"},
                                         {UrlSetFormat::LinkPage, "Page of links"}}) {
        SCOPED_TRACE(refused);
        prompter.shown.clear();
        format = refused;
        path = dir.File("Bookmarks");
        WriteFile(path, "{}");
        VerifyOutcome outcome = Verify();
        EXPECT_FALSE(outcome.saved);
        EXPECT_EQ(outcome.end, VerifyEnd::NotWritable);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_NE(prompter.shown[0].text.find(named), std::string::npos) << prompter.shown[0].text;
        EXPECT_EQ(prompter.shown[0].text.rfind("A verification saves the set back", 0), 0u);
        EXPECT_EQ(ReadFile(path), "{}");
    }
}

TEST_F(VerifyCommandTest, CookieSettingBeforeDuringAndAfterEachAnswer) {
    struct Row {
        std::vector<unsigned char> initial;  // {9}: no value stored
        int code;
        int choice;
        bool stopWithCancel;
        bool shown;
        std::vector<unsigned char> during;
        std::vector<unsigned char> after;
        int failed;  // the cookie-requiring redirect works only when cookies are accepted
    };
    const Row rows[] = {
        {kOn, kDialogOk, 0, false, false, kOn, kOn, 0},
        {{2, 0, 0, 0}, kDialogOk, 0, false, false, {2, 0, 0, 0}, {2, 0, 0, 0}, 0},
        {kOff, kDialogOk, kCookieChoiceDuringRun, false, true, kOn, kOff, 0},
        {kOff, kDialogOk, kCookieChoiceDuringRun, true, true, kOn, kOff, 0},
        {kOff, kDialogOk, kCookieChoiceAlways, false, true, kOn, kOn, 0},
        {kOff, kDialogOk, kCookieChoicePrompt, false, true, kOff, kOff, 1},
        {{9}, kDialogOk, kCookieChoiceDuringRun, false, true, kOn, kOff, 0},
        {{9}, kDialogCancel, 0, false, true, {}, {9}, -1},
        {{1, 0, 0, 0, 0}, kDialogOk, kCookieChoicePrompt, false, true, {1, 0, 0, 0, 0}, {1, 0, 0, 0, 0}, 1},
    };
    int rowNumber = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(rowNumber++);
        store = SettingsStore(dir.File("registry" + std::to_string(rowNumber) + ".reg"));
        if (row.initial != std::vector<unsigned char>{9}) SetCookieValue(row.initial);
        WriteSet({{"needs cookie", "/cookie/set"}});
        cookies = ScriptedCookieWarning(row.code, row.choice);
        std::vector<unsigned char> during;
        view = RecordingProgressView();
        view.onStatus = [&](const std::string& text, VerificationRun& run) {
            if (text != "Starting") return;
            during = CookieValue();
            if (row.stopWithCancel) run.OnCancel();
        };
        VerifyOutcome outcome = Verify();
        EXPECT_EQ(cookies.shown, row.shown ? 1 : 0);
        if (row.shown) {
            EXPECT_EQ(cookies.preselected, kCookieChoiceDuringRun);
        }
        EXPECT_EQ(during, row.during);
        EXPECT_EQ(CookieValue(), row.after);
        if (row.failed < 0) {
            EXPECT_EQ(outcome.end, VerifyEnd::CookieCanceled);
            // Only the reader's own progress reached the status line.
            EXPECT_EQ(status.Current(), "Netscape file loaded.");
            EXPECT_FALSE(storage.HasFile());
        } else if (!row.stopWithCancel) {
            EXPECT_EQ(outcome.counts.failingLinks, row.failed);
        }
        status.history.clear();
    }
}

TEST_F(VerifyCommandTest, DryRunReportsEveryLinkAsJsonAndSavesNothing) {
    SetCookieValue(kOn);
    WriteSet({{"dead \"quoted\"", "/status/404"}, {"alive", "/redirect/1"}});
    const std::string before = ReadFile(path);
    reportPath = dir.File("report.json");
    dryRun = true;
    VerifyOutcome outcome = Verify();
    EXPECT_EQ(outcome.end, VerifyEnd::Ran);
    EXPECT_FALSE(outcome.saved);
    EXPECT_FALSE(outcome.reportFailed);
    EXPECT_EQ(ReadFile(path), before);
    EXPECT_EQ(status.Current(),
              "Verification complete.  2 URLs tested; 1 did not work.\nDry run: the URL set was not saved.");

    const std::string text = ReadFile(reportPath);
    json::Document document;
    ASSERT_EQ(document.Parse(text), "");
    const json::Value report = document.Root();
    EXPECT_EQ(report["result"].String(), "complete");
    EXPECT_EQ(report["failed"].Integer(), 1);
    EXPECT_EQ(report["dryRun"].Boolean(), true);
    EXPECT_EQ(report["saved"].Boolean(), false);
    std::vector<json::Value> links;
    for (const json::Value link : report["links"].Elements()) links.push_back(link);
    ASSERT_EQ(links.size(), 2u);
    const json::Value dead = links[0];
    EXPECT_EQ(dead["folder"].String(), "\\Work");
    EXPECT_EQ(dead["name"].String(), "dead \"quoted\"");
    EXPECT_EQ(dead["code"].Integer(), 404);
    EXPECT_EQ(dead["error"].String(), "Page not found");
    EXPECT_EQ(dead["action"].String(), "would move");
    const json::Value alive = links[1];
    EXPECT_EQ(alive["url"].String(), server.Url("/redirect/1"));
    EXPECT_EQ(alive["finalUrl"].String(), server.Url("/redirect/0"));
    EXPECT_EQ(alive["code"].Integer(), 200);
    EXPECT_EQ(alive["action"].String(), "kept");
}

TEST_F(VerifyCommandTest, StoppedRunStillWritesItsCsvReport) {
    SetCookieValue(kOn);
    WriteSet({{"dead, really", "/status/404"}, {"never reached", "/stall"}});
    reportPath = dir.File("report.csv");
    view.onStatus = [&](const std::string& text, VerificationRun& run) {
        if (text == "Request sent; waiting for response" && view.names.back() == "never reached") run.OnOK();
    };
    VerifyOutcome outcome = Verify();
    EXPECT_EQ(outcome.result, VerifyResult::Incomplete);
    EXPECT_TRUE(outcome.saved);
    // The time taken varies; everything else is fixed.
    const std::string csv = std::regex_replace(ReadFile(reportPath), std::regex(",[0-9]+,(moved|untested)"), ",ms,$1");
    EXPECT_EQ(csv, "folder,name,url,final_url,code,error,ms,action\r\n\\Work,\"dead, really\"," +
                       server.Url("/status/404") + "," + server.Url("/status/404") +
                       ",404,Page not found,ms,moved\r\n\\Work,never reached," + server.Url("/stall") +
                       ",,,,ms,untested\r\n");
}

TEST_F(VerifyCommandTest, ReportThatCannotBeWrittenIsRefusedBeforeAnyRequest) {
    SetCookieValue(kOn);
    WriteSet({{"alive", "/status/200"}});
    reportPath = dir.File("missing/report.json");
    VerifyOutcome outcome = Verify();
    EXPECT_EQ(outcome.end, VerifyEnd::ReportRefused);
    EXPECT_EQ(server.Hits("/status/200"), 0);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back().text, "Verify was unable to write the report " + reportPath + " (error 2).");
}

// A dead link is looked up in the archive at the moment it was added; the copy's address the
// archive redirects to (not followed) goes in the records and the report and is proposed for
// repair. A link the archive holds no copy of gets none, and without the option the archive is
// asked nothing.
TEST_F(VerifyCommandTest, DeadLinksGetTheArchivedCopyTheArchiveRedirectsTo) {
    const std::string gone = server.Url("/status/404");
    const std::string never = server.Url("/hop/410/never-archived");
    WriteFile(path, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n<DT><A HREF=\"" + gone +
                        "\" ADD_DATE=\"1234567890\">Gone</A>\n<DT><A HREF=\"" + never + "\">Never</A>\n<DT><A HREF=\"" +
                        server.Url("/status/200") + "\">Alive</A>\n</DL><p>\n");
    const std::string before = ReadFile(path);
    reportPath = dir.File("report.json");
    dryRun = true;
    VerifyOutcome off = Verify();
    ASSERT_EQ(off.records.size(), 3u);
    EXPECT_EQ(server.HitsUnder("/web/"), 0);
    EXPECT_EQ(ReadFile(reportPath).find("archivedUrl"), std::string::npos);

    suggestArchive = true;
    interactiveRepair = true;
    archiveUrl = server.Url("/");
    VerifyOutcome on = Verify();
    ASSERT_EQ(on.records.size(), 3u);
    const std::string copy = server.Url("/web/20090213000000id_/" + gone);
    EXPECT_EQ(on.records[0].archivedUrl, copy);
    EXPECT_EQ(on.records[1].archivedUrl, "");
    EXPECT_EQ(on.records[2].archivedUrl, "");
    EXPECT_EQ(server.Hits("/web/20090213233130/" + gone), 1);
    EXPECT_EQ(server.Hits("/web/" + never), 1);
    EXPECT_EQ(server.HitsUnder("/web/"), 2) << "a redirect is read, never followed; a working link is not looked up";
    EXPECT_NE(ReadFile(reportPath).find("\"archivedUrl\":\"" + copy + "\""), std::string::npos) << ReadFile(reportPath);
    ASSERT_EQ(repair.asked.size(), 2u);
    EXPECT_EQ(repair.asked[0].archivedUrl, copy);
    EXPECT_EQ(repair.asked[0].newUrl, copy);
    EXPECT_EQ(repair.asked[1].archivedUrl, "");
    EXPECT_EQ(repair.asked[1].newUrl, never);
    EXPECT_EQ(ReadFile(path), before);

    // An archive that cannot be reached is asked once in a run, not once per dead link.
    testing::RefusedPort refused;
    archiveUrl = "http://127.0.0.1:" + std::to_string(refused.Port());
    view.urls.clear();
    Verify();
    EXPECT_EQ(std::count_if(view.urls.begin(), view.urls.end(),
                            [](const std::string& url) { return url.find("/web/") != std::string::npos; }),
              1);
}

}  // namespace
}  // namespace tolva
