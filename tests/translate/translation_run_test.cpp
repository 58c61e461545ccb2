#include "translate/translation_run.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <csignal>
#include <cerrno>
#include <filesystem>

#include "formats/set_storage.h"
#include "platform/stop_request.h"
#include "resources/strings.h"
#include "support/failing_file.h"
#include "support/places_builder.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"
#include "translate/convert.h"

namespace tolva {
namespace {

using testing::FailingFiles;
using testing::ReadFile;
using testing::RecordingProgressBar;
using testing::RecordingPrompter;
using testing::RecordingText;
using testing::ShownMessage;
using testing::TempDir;
using testing::WriteFile;

const std::string kCaption = LoadString(IDS_CAPTION);
const std::string kRunCaption = "Tolva";

const std::string kBookmarks =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<TITLE>Bookmarks</TITLE>\r\n<H1>Bookmarks</H1>\r\n<DL><p>\r\n"
    "<DT><H3>Tools &amp; Toys</H3>\r\n<DL><p>\r\n"
    "<DT><A HREF=\"http://example.com/a\" ADD_DATE=\"1\">Tom && Jerry</A>\r\n"
    "</DL><p>\r\n"
    "<DT><A HREF=\"http://example.com/b\">Plain</A>\r\n"
    "</DL><p>\r\n";

class TranslationRunTest : public ::testing::Test {
protected:
    TranslationRunTest() {
        controls.statusLine = &status;
        controls.progressLabel = &label;
        controls.progressBar = &bar;
        controls.progressText = &progressText;
        controls.prompter = &prompter;
        controls.sourceBox = &sourceBox;
        controls.destinationBox = &destinationBox;
        controls.store = &store;
        controls.cancelToClose = [this] { ++cancelToCloseCalls; };
        WriteFile(source, kBookmarks);
    }

    TranslateValues Values(UrlSetFormat toFormat = UrlSetFormat::Netscape) const {
        return {UrlSetFormat::Netscape, source, toFormat, destination, true};
    }
    std::vector<std::string> Remembered(UrlSetFormat format) {
        SettingsStore reloaded(store.Path());
        reloaded.Load();
        MemoryLocationBox box;
        LoadRecentLocations(reloaded, RecentPage::Translate, format, box);
        return box.Entries();
    }
    // The status texts without the readers' per-line counters.
    std::vector<std::string> RunStatus() const {
        std::vector<std::string> texts;
        for (const std::string& text : status.history) {
            if (!text.starts_with("Reading line ") && !text.starts_with("Saving item ")) texts.push_back(text);
        }
        return texts;
    }

    TempDir dir;
    std::string source = dir.File("source.html");
    std::string destination = dir.File("destination.html");
    SettingsStore store{dir.File("registry.reg")};
    RecordingText status;
    RecordingText label;
    RecordingProgressBar bar;
    RecordingText progressText;
    RecordingPrompter prompter;
    MemoryLocationBox sourceBox;
    MemoryLocationBox destinationBox;
    TranslatePageControls controls;
    int cancelToCloseCalls = 0;
};

TEST_F(TranslationRunTest, IncompleteFormIsRefusedBeforeAnythingIsRemembered) {
    struct FormCase {
        TranslateValues values;
        int message;
    };
    const std::vector<FormCase> cases = {
        {{UrlSetFormat::None, "", UrlSetFormat::None, "", true}, IDS_NO_SOURCE},
        {{UrlSetFormat::None, "/typed/without/format", UrlSetFormat::Netscape, "/d", true}, IDS_NO_SOURCE},
        {{UrlSetFormat::Netscape, "", UrlSetFormat::Netscape, "/d", true}, IDS_NO_SOURCE},
        {{FormatNumbered(99), "/s", UrlSetFormat::Netscape, "/d", true}, IDS_NO_SOURCE},
        {{UrlSetFormat::Netscape, "/s", UrlSetFormat::Netscape, "", true}, IDS_NO_DESTINATION},
        {{UrlSetFormat::Netscape, "/s", UrlSetFormat::None, "/d", true}, IDS_NO_DESTINATION},
        // The hint of a missing Favorites folder left in a box is no location, and is not remembered.
        {{UrlSetFormat::Shortcuts, LoadString(IDS_NO_FAVORITES_FOUND), UrlSetFormat::Netscape, "/d", true},
         IDS_NO_SOURCE},
        {{UrlSetFormat::Netscape, "/s", UrlSetFormat::Shortcuts, LoadString(IDS_NO_FAVORITES_FOUND), true},
         IDS_NO_DESTINATION},
    };
    for (const FormCase& c : cases) {
        RecordingPrompter shown;
        controls.prompter = &shown;
        EXPECT_EQ(RunTranslation(c.values, controls), TranslationResult::Failed);
        EXPECT_EQ(shown.shown, (std::vector<ShownMessage>{{LoadString(c.message), kCaption}}));
    }
    EXPECT_TRUE(status.history.empty());
    EXPECT_FALSE(std::filesystem::exists(store.Path()));
    EXPECT_EQ(cancelToCloseCalls, 0);
}

TEST_F(TranslationRunTest, SameFormatWritesACopyAndReportsEveryStep) {
    ASSERT_EQ(RunTranslation(Values(), controls), TranslationResult::Converted);

    EXPECT_EQ(RunStatus(), (std::vector<std::string>{
                               "Now reading the URL set.", "Netscape file loaded.", "Now converting the URL set.",
                               "Now converting the URL set.", "Now saving the destination URL set.",
                               "URL set converted.\n2 links and 1 folders written; 0 names adapted."}));
    EXPECT_TRUE(prompter.shown.empty());
    // A long save keeps the status moving: one count per folder or link written.
    EXPECT_NE(std::find(status.history.begin(), status.history.end(), "Saving item 3"), status.history.end());
    EXPECT_EQ(std::find(status.history.begin(), status.history.end(), "Saving item 4"), status.history.end());
    EXPECT_EQ(cancelToCloseCalls, 1);
    // Shown and hidden around the conversion, which moves nothing for the same format.
    EXPECT_EQ(label.shows, (std::vector<bool>{true, false}));
    EXPECT_EQ(bar.shows, (std::vector<bool>{true, false}));
    EXPECT_EQ(progressText.shows, (std::vector<bool>{true, false}));
    EXPECT_TRUE(bar.positions.empty());
    EXPECT_TRUE(progressText.history.empty());

    std::string written = ReadFile(destination);
    EXPECT_NE(written.find("<DT><H3>Tools &amp; Toys</H3>"), std::string::npos);
    EXPECT_NE(written.find("<DT><A HREF=\"http://example.com/a\"  ADD_DATE=\"1\">Tom && Jerry</A>"), std::string::npos);
    EXPECT_EQ(ReadFile(source), kBookmarks);

    // The destination was the last location remembered for the shared list.
    EXPECT_EQ(Remembered(UrlSetFormat::Netscape), (std::vector<std::string>{destination}));
    EXPECT_EQ(destinationBox.Entries().front(), destination);
    EXPECT_EQ(sourceBox.Entries().front(), source);
}

TEST_F(TranslationRunTest, MissingSourceIsReportedTwiceButStillRemembered) {
    source = dir.File("missing.html");
    EXPECT_EQ(RunTranslation(Values(UrlSetFormat::Mosaic), controls), TranslationResult::Failed);
    EXPECT_EQ(prompter.shown, (std::vector<ShownMessage>{
                                  {FormatString(IDS_SET_NOT_FOUND, {source}), kCaption},
                                  {"Convert was unable to open the source URL set.", kRunCaption},
                              }));
    EXPECT_TRUE(status.history.empty());
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_EQ(Remembered(UrlSetFormat::Netscape), (std::vector<std::string>{source}));
    EXPECT_EQ(Remembered(UrlSetFormat::Mosaic), (std::vector<std::string>{destination}));
}

TEST_F(TranslationRunTest, SourceThatCannotBeReadStopsBeforeTheDestination) {
    EXPECT_EQ(RunTranslation(Values(), controls, FailingFiles({.goodReads = 0})), TranslationResult::Failed);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back(), (ShownMessage{"Convert was unable to read the source URL set.", kRunCaption}));
    EXPECT_EQ(status.Current(), "Unable to read that URL set.");
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_TRUE(label.shows.empty());
    EXPECT_EQ(cancelToCloseCalls, 0);
}

TEST_F(TranslationRunTest, DestinationThatCannotBeCreatedFailsTheRun) {
    destination = dir.File("no/such/folder/out.html");
    EXPECT_EQ(RunTranslation(Values(), controls), TranslationResult::Failed);
    EXPECT_EQ(prompter.shown, (std::vector<ShownMessage>{
                                  {FormatString(IDS_SET_FOLDER_MISSING, {destination, dir.File("no/such/folder")}),
                                   kCaption},
                                  {"Convert was unable to open the destination URL set.", kRunCaption},
                              }));
    EXPECT_EQ(status.Current(), "Unable to create the destination URL set.");
    EXPECT_EQ(cancelToCloseCalls, 0);
}

TEST_F(TranslationRunTest, DestinationThatCannotBeWrittenIsNotReportedAsConverted) {
    // Reads succeed, so the source is read; every write fails, as on a full disk.
    EXPECT_EQ(RunTranslation(Values(), controls, FailingFiles({.goodWrites = 0})), TranslationResult::Failed);
    ASSERT_EQ(prompter.shown.size(), 2u);
    EXPECT_EQ(prompter.shown[0].text, FormatString(IDS_ERR_NETSCAPE_HEADER, {ENOSPC}));
    EXPECT_EQ(prompter.shown[1], (ShownMessage{"Convert was unable to save the destination URL set.", kRunCaption}));
    EXPECT_EQ(status.Current(), "Unable to save the destination URL set.");
    EXPECT_EQ(cancelToCloseCalls, 0);
}

// Regression: with No to the backup question a full disk left a 64 KiB fragment and the old
// file gone, and the message named the header where a line had failed.
TEST_F(TranslationRunTest, FullDiskOrSizeLimitLeavesTheOldDestinationWholeAndNamesTheStep) {
    ASSERT_EQ(RunTranslation(Values(), controls), TranslationResult::Converted);
    const std::string output = ReadFile(destination);
    const std::size_t inTheLines = output.find("<DT>") + 4;
    struct Case {
        std::size_t goodBytes;
        int error;
        int message;
        bool keepCopy;
    };
    for (const Case& c :
         {Case{0, ENOSPC, IDS_ERR_NETSCAPE_HEADER, false}, Case{inTheLines, ENOSPC, IDS_ERR_NETSCAPE_LINE, false},
          Case{inTheLines, EFBIG, IDS_ERR_NETSCAPE_LINE, true}}) {
        WriteFile(destination, "previous");
        std::filesystem::remove(destination + ".bak");
        prompter.shown.clear();
        prompter.ScriptAnswers({c.keepCopy});
        EXPECT_EQ(RunTranslation(Values(), controls, FailingFiles({.goodBytes = c.goodBytes, .writeErrno = c.error})),
                  TranslationResult::Failed);
        EXPECT_EQ(prompter.shown, (std::vector<ShownMessage>{
                                      {LoadString(IDS_ASK_BACKUP), kCaption, true},
                                      {FormatString(c.message, {c.error}), kRunCaption},
                                      {"Convert was unable to save the destination URL set.", kRunCaption},
                                  }));
        EXPECT_EQ(ReadFile(destination), "previous");
        EXPECT_EQ(c.keepCopy ? ReadFile(destination + ".bak") : "", c.keepCopy ? "previous" : "");
        EXPECT_EQ(std::filesystem::exists(destination + ".bak"), c.keepCopy);
        for (const std::string& name : testing::Tree(dir.Path())) EXPECT_FALSE(name.starts_with(".")) << name;
    }
}

// A store is read while the destination is written, a batch at a time; what is written must
// be what reading it whole, converting and writing gives, across many batches and depths.
TEST_F(TranslationRunTest, StoreReadWhileWrittenGivesWhatAWholeReadGives) {
    const std::string places = dir.File("places.sqlite");
    {
        testing::PlacesBuilder builder(places);
        builder.Begin();
        std::vector<std::int64_t> open = {testing::PlacesBuilder::kMenu};
        for (int i = 0; i < 1500; ++i) {
            if (i % 97 == 0) open.push_back(builder.Folder(open.back(), "Folder <" + std::to_string(i) + ">"));
            if (i % 211 == 0 && open.size() > 1) open.pop_back();
            const std::string url = "http://example.com/" + std::to_string(i);
            builder.Bookmark(open.back(), "Tom & Jerry " + std::to_string(i), url, 1700000000 + i);
            if (i % 10 == 0) builder.Tag(url, "tag " + std::to_string(i % 3));
            if (i % 50 == 0) builder.Separator(open.back());
        }
        builder.Bookmark(testing::PlacesBuilder::kToolbar, "Last", "http://last/");
        builder.Commit();
    }
    const std::string whole = dir.File("whole.html");
    {
        UrlSet set;
        SetStorage storage{set};
        ASSERT_EQ(testing::ReadSet(set, UrlSetFormat::Firefox, places), 1);
        ConvertTo(set, true, true, UrlSetFormat::Netscape, whole, nullptr, nullptr);
        ASSERT_EQ(storage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, whole), 1);
        ASSERT_EQ(storage.Write(), 1);
    }
    const TranslateValues values{UrlSetFormat::Firefox, places, UrlSetFormat::Netscape, destination, true};
    ASSERT_EQ(RunTranslation(values, controls), TranslationResult::Converted);
    EXPECT_EQ(ReadFile(destination), ReadFile(whole));
    EXPECT_EQ(RunStatus().back(), "URL set converted.\n1501 links and 20 folders written; 0 names adapted.");
    EXPECT_TRUE(prompter.shown.empty());
}

// A bookmark file is read while its copy is written, a batch at a time: what is written and
// counted is what reading it whole gives, and a read that fails after the first batch leaves no
// destination.
TEST_F(TranslationRunTest, BookmarkFileReadWhileWrittenGivesWhatAWholeReadGives) {
    std::string text = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    for (int i = 0; i < 6000; ++i) {
        if (i % 500 == 0) text += "<DT><H3>Folder " + std::to_string(i) + "</H3>\n<DL><p>\n";
        text += "    <DT><A HREF=\"http://example.com/" + std::to_string(i) + "\">Link " + std::to_string(i) + "</A>\n";
        if (i % 500 == 499) text += "</DL><p>\n";
    }
    WriteFile(source, text + "</DL><p>\n");
    const std::string whole = dir.File("whole.html");
    {
        UrlSet set;
        ASSERT_EQ(testing::ReadSet(set, UrlSetFormat::Netscape, source), 1);
        ASSERT_EQ(testing::WriteSet(set, UrlSetFormat::Netscape, whole), 1);
    }
    ASSERT_EQ(RunTranslation(Values(), controls), TranslationResult::Converted);
    EXPECT_EQ(ReadFile(destination), ReadFile(whole));
    EXPECT_EQ(RunStatus().back(), "URL set converted.\n6000 links and 12 folders written; 0 names adapted.");

    std::filesystem::remove(destination);
    EXPECT_EQ(RunTranslation(Values(), controls, FailingFiles({.goodReads = 1})), TranslationResult::Failed);
    ASSERT_FALSE(prompter.shown.empty());
    EXPECT_EQ(prompter.shown.back(), (ShownMessage{"Convert was unable to read the source URL set.", kRunCaption}));
    EXPECT_FALSE(std::filesystem::exists(destination));
    // An empty file is not read at all, as when read whole.
    WriteFile(source, "");
    prompter.shown.clear();
    EXPECT_EQ(RunTranslation(Values(), controls), TranslationResult::Failed);
    EXPECT_EQ(prompter.shown, (std::vector<ShownMessage>{{"Convert was unable to read the source URL set.", kRunCaption}}));
    EXPECT_FALSE(std::filesystem::exists(destination));
}

// Ctrl+C at a terminal: the run ends before it writes, and the private copy of the store (the
// person's history) goes with it.
TEST_F(TranslationRunTest, StoppedRunWritesNothingAndLeavesNoCopyOfTheStore) {
    const std::string places = dir.File("places.sqlite");
    testing::PlacesBuilder(places).Bookmark(testing::PlacesBuilder::kMenu, "A", "http://a/");
    std::filesystem::create_directory(dir.File("tmp"));
    ::setenv("TMPDIR", dir.File("tmp").c_str(), 1);
    StopOnSignals stops;
    std::raise(SIGINT);
    const TranslateValues values{UrlSetFormat::Firefox, places, UrlSetFormat::Netscape, destination, true};
    EXPECT_EQ(RunTranslation(values, controls), TranslationResult::Stopped);
    ::unsetenv("TMPDIR");
    EXPECT_FALSE(std::filesystem::exists(destination));
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("tmp")));
    EXPECT_EQ(status.Current(), "Translation stopped.  Nothing was changed.");
    EXPECT_TRUE(prompter.shown.empty());
}

// Ctrl+C while a shortcut tree is written: the writer stops between two files, and the run
// says the folder holds part of the set.
TEST_F(TranslationRunTest, StopWhileShortcutsAreWrittenEndsBetweenFiles) {
    struct StoppingText final : testing::RecordingText {
        void SetText(const std::string& text) override {
            RecordingText::SetText(text);
            if (text == "Saving item 3") std::raise(SIGINT);
        }
    } stopping;
    controls.statusLine = &stopping;
    std::filesystem::create_directory(destination = dir.File("favorites"));
    prompter.ScriptAnswers({true});  // use the existing folder
    StopOnSignals stops;
    ASSERT_EQ(RunTranslation(Values(UrlSetFormat::Shortcuts), controls), TranslationResult::Stopped);
    EXPECT_EQ(stopping.Current(), LoadString(IDS_STATUS_TRANSLATION_STOPPED_PART));
    EXPECT_TRUE(std::filesystem::exists(destination + "/Tools & Toys/Tom & Jerry.url"));
    EXPECT_FALSE(std::filesystem::exists(destination + "/Plain.url"));
}

TEST_F(TranslationRunTest, ConversionRenamesForShortcutsAndShowsProgressPerLink) {
    std::filesystem::create_directory(destination = dir.File("favorites"));
    prompter.ScriptAnswers({true});  // use the existing folder
    ASSERT_EQ(RunTranslation(Values(UrlSetFormat::Shortcuts), controls), TranslationResult::Converted);
    EXPECT_EQ(bar.rangeMin, 0);
    EXPECT_EQ(bar.rangeMax, 2);
    EXPECT_EQ(bar.positions, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(progressText.history, (std::vector<std::string>{"Converting link 1 of 2", "Converting link 2 of 2"}));
    // Only "Tom && Jerry" changes: its doubled ampersand becomes one in a shortcut's name.
    EXPECT_EQ(status.Current(), "URL set converted.\n2 links and 1 folders written; 1 names adapted.");
}

TEST_F(TranslationRunTest, NamesTheShortcutWriterAdaptsAreCountedOnceEach) {
    // A numbered namesake and a folder with no name are adapted by the writer; a name the
    // conversion adapted and the writer then numbers is one name adapted.
    WriteFile(source,
              "<DL><p>\r\n<DT><A HREF=\"http://a/\">Same</A>\r\n<DT><A HREF=\"http://b/\">Same</A>\r\n"
              "<DT><A HREF=\"http://c/\">Tom & Jerry</A>\r\n<DT><A HREF=\"http://d/\">Tom && Jerry</A>\r\n"
              "<DT><H3></H3>\r\n<DL><p>\r\n</DL><p>\r\n</DL><p>\r\n");
    std::filesystem::create_directory(destination = dir.File("favorites"));
    prompter.ScriptAnswers({true});  // use the existing folder
    ASSERT_EQ(RunTranslation(Values(UrlSetFormat::Shortcuts), controls), TranslationResult::Converted);
    EXPECT_EQ(status.Current(), "URL set converted.\n4 links and 1 folders written; 3 names adapted.");
}

// ConvertTo on a set built in memory.
class ConvertToTest : public ::testing::Test {
protected:
    UrlEntry* Add(UrlEntryKind kind, const std::string& name) {
        auto* entry = new UrlEntry(kind, name, kind == UrlEntryKind::Link ? "http://example.com/" : "");
        set.Append(entry);
        if (kind == UrlEntryKind::Link) ++set.linkCount;
        return entry;
    }

    UrlSet set;
    RecordingProgressBar bar;
    RecordingText text;
};

TEST_F(ConvertToTest, SameFormatOnlyMovesTheSet) {
    UrlEntry* link = Add(UrlEntryKind::Link, "A && B");
    set.format = UrlSetFormat::Netscape;
    ConvertTo(set, true, true, UrlSetFormat::Netscape, "/elsewhere.html", &bar, &text);
    EXPECT_EQ(set.location, "/elsewhere.html");
    EXPECT_EQ(set.format, UrlSetFormat::Netscape);
    EXPECT_EQ(link->name, "A && B");
    EXPECT_EQ(bar.rangeMax, -1);
    EXPECT_TRUE(text.history.empty());
}

TEST_F(ConvertToTest, RenamedEntriesKeepTheirFormerNames) {
    UrlEntry* folder = Add(UrlEntryKind::FolderStart, "R&&D");
    UrlEntry* renamed = Add(UrlEntryKind::Link, "Tom && Jerry");
    UrlEntry* kept = Add(UrlEntryKind::Link, "Plain");
    Add(UrlEntryKind::FolderEnd, "");
    set.format = UrlSetFormat::Netscape;
    ConvertTo(set, true, true, UrlSetFormat::Shortcuts, "/favorites", nullptr, &text);
    EXPECT_EQ(set.format, UrlSetFormat::Shortcuts);
    EXPECT_EQ(folder->name, "R&D");
    EXPECT_EQ(renamed->name, "Tom & Jerry");
    EXPECT_EQ(renamed->preservedName, "Tom && Jerry");
    EXPECT_EQ(renamed->flags, NamePreserved | NameTranslated);
    EXPECT_EQ(kept->flags, 0);
    EXPECT_EQ(kept->preservedName, "");
    EXPECT_TRUE(text.history.empty()) << "no progress text without a bar";
}

TEST_F(ConvertToTest, ProgressRangeHoldsMoreThanSixteenBitsOfLinks) {
    constexpr int kLinks = 70000;
    for (int i = 0; i < kLinks; ++i) Add(UrlEntryKind::Link, "x");
    set.format = UrlSetFormat::Shortcuts;
    ConvertTo(set, false, true, UrlSetFormat::Netscape, "/out.html", &bar, &text);
    EXPECT_EQ(bar.rangeMax, kLinks);
    EXPECT_EQ(bar.positions.back(), kLinks);
    EXPECT_EQ(text.Current(), "Converting link 70000 of 70000");
}

}  // namespace
}  // namespace tolva
