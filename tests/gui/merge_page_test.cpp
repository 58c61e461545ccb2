#include "gui/merge_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

#include "gui/control_ids.h"
#include "gui/format_box.h"
#include "gui/merge_source_list.h"
#include "gui/property_sheet.h"
#include "locations/recent_locations.h"
#include "page_input.h"
#include "resources/strings.h"
#include "support/recording.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::ReadFile;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::WriteFile;

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class MergePageTest : public ::testing::Test {
protected:
    TempDir dir;
    SettingsStore store{dir.File("registry.reg")};
    RecordingPrompter prompter;
    CMerge page{store, prompter};

    MergePageTest() { page.places = {dir.File("home"), {}}; }

    template <typename Widget>
    Widget* Control(int id) {
        auto* widget = page.findChild<Widget*>(QString::number(id));
        EXPECT_NE(widget, nullptr) << "control " << id;
        return widget;
    }
};

// A bookmark file typed into the source box and an XBEL file dropped on the list, sharing one
// link spelled two ways, merged into a new bookmark file typed as the destination; merged
// again, the destination is kept as a backup when the person says so.
TEST_F(MergePageTest, TypedAndDroppedSetsAreMergedIntoTheDestinationWithItsBackupQuestion) {
    const std::string bookmarks = dir.File("bookmarks.html");
    WriteFile(bookmarks,
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n"
              "    <DT><A HREF=\"http://Example.com/x\">X</A>\n"
              "    <DT><A HREF=\"http://one.test/\">One</A>\n</DL><p>\n");
    const std::string xbel = dir.File("other.xbel");
    WriteFile(xbel,
              "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\">\n"
              "  <bookmark href=\"http://example.com/x\"><title>X again</title><desc>kept</desc></bookmark>\n"
              "  <bookmark href=\"http://two.test/\"><title>Two</title></bookmark>\n</xbel>\n");
    PropertySheet sheet("Tolva");
    sheet.AddPage(&page, "Merge");
    sheet.show();
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));

    // Each question starts with its default answered, apart from the other's.
    EXPECT_TRUE(Control<QRadioButton>(control::kMergeExact)->isChecked());
    EXPECT_TRUE(Control<QRadioButton>(control::kMergeKeep)->isChecked());
    testing::TypeAndEnter(Control<LocationCombo>(control::kMergeSourceLocation), bookmarks);
    auto* list = Control<MergeSourceList>(control::kMergeSources);
    testing::Drop(list->viewport(), {QUrl::fromLocalFile(QString::fromStdString(xbel))}, true);
    ASSERT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(list->topLevelItem(1)->text(1).toStdString(), "XBEL bookmarks");
    EXPECT_EQ(FormatInBox(Control<QComboBox>(control::kMergeSelectedFormat)), UrlSetFormat::Xbel);
    const std::vector<MergeSource> sources = list->Sources();
    EXPECT_EQ(sources.front().format, UrlSetFormat::Netscape) << "guessed from the file";
    EXPECT_EQ(sources.front().location, bookmarks);

    // Enter in the destination box merges: the name chooses the format.
    const std::string merged = dir.File("merged.html");
    testing::TypeAndEnter(Control<LocationCombo>(control::kMergeDestinationLocation), merged);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(FormatInBox(Control<QComboBox>(control::kMergeDestinationFormat)), UrlSetFormat::Netscape);
    const std::string first = ReadFile(merged);
    EXPECT_EQ(Occurrences(first, "HREF=\"http://Example.com/x\""), 1u) << first;
    EXPECT_EQ(Occurrences(first, "example.com/x"), 0u) << "the first spelling is kept";
    EXPECT_NE(first.find("<DD>kept"), std::string::npos) << "the other set's description joins the link";
    EXPECT_NE(first.find("http://one.test/"), std::string::npos);
    EXPECT_NE(first.find("http://two.test/"), std::string::npos);
    EXPECT_EQ(Control<QLabel>(control::kMergeStatus)->text().toStdString(),
              "2 sets merged: 3 links in 0 folders; 1 duplicates merged, 0 kept in other folders");
    EXPECT_EQ(sheet.Buttons()->button(QDialogButtonBox::Ok)->text(), "Close");
    EXPECT_TRUE(prompter.shown.empty());

    // The second set taken out, Enter in the list merges again: the existing destination is asked about.
    list->setCurrentItem(list->topLevelItem(1));
    QTest::keyClick(list, Qt::Key_Delete);
    ASSERT_EQ(list->topLevelItemCount(), 1);
    prompter.ScriptAnswers({true});  // keep a copy
    QTest::keyClick(list, Qt::Key_Return);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(prompter.shown[0].question);
    EXPECT_EQ(ReadFile(merged + ".bak"), first);
    EXPECT_EQ(ReadFile(merged).find("two.test"), std::string::npos);

    // The merge's locations are its own recent list, most recent first.
    MemoryLocationBox recent;
    EXPECT_TRUE(LoadRecentLocations(store, RecentPage::Merge, UrlSetFormat::Netscape, recent));
    EXPECT_EQ(recent.Entries(), (std::vector<std::string>{merged, bookmarks}));
    sheet.Tabs()->removeTab(0);
    page.setParent(nullptr);
}

// A report naming a set of the merge is refused before anything is written; another is written
// after the merge, in the kind its name says. The restore-names choice holds for the next page.
TEST_F(MergePageTest, ReportIsWrittenAfterTheMergeButNeverOverOneOfItsSets) {
    const std::string bookmarks = dir.File("bookmarks.html");
    WriteFile(bookmarks,
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n    <DT><A HREF=\"http://one.test/\">One</A>\n"
              "    <DT><A HREF=\"HTTP://ONE.TEST/\">One again</A>\n</DL><p>\n");
    const std::string merged = dir.File("merged.html");
    page.OnDropSources({bookmarks});
    Control<LocationCombo>(control::kMergeDestinationLocation)->SetText(merged);
    auto* report = Control<QLineEdit>(control::kMergeReport);
    report->setText(QString::fromStdString(bookmarks));
    Control<QPushButton>(control::kMerge)->click();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_NE(prompter.shown[0].text.find("would replace a URL set of the merge"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(merged));

    report->setText(QString::fromStdString(dir.File("groups.json")));
    Control<QPushButton>(control::kMerge)->click();
    EXPECT_EQ(prompter.shown.size(), 1u);
    EXPECT_TRUE(std::filesystem::exists(merged));
    const std::string json = ReadFile(dir.File("groups.json"));
    EXPECT_NE(json.find("\"groups\""), std::string::npos) << json;
    EXPECT_NE(json.find("HTTP://ONE.TEST/"), std::string::npos) << json;

    Control<QCheckBox>(control::kMergePreserveName)->click();
    CMerge next(store, prompter);
    EXPECT_FALSE(next.findChild<QCheckBox*>(QString::number(control::kMergePreserveName))->isChecked());
}

}  // namespace
}  // namespace tolva
