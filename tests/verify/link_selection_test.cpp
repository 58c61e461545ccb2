#include "verify/link_selection.h"

#include <gtest/gtest.h>

namespace tolva {
namespace {

// The page's one line: folder paths keep their spaces, URL patterns split at white space.
TEST(LinkSelectionTest, SkipListSplitsPatternsButKeepsFolderNamesWhole) {
    const SkipList list = ParseSkipList("  *.pdf  *://old.example.com/* ;\\Work\\Old stuff ;; \\Archive\\;x?y");
    EXPECT_EQ(list.patterns, (std::vector<std::string>{"*.pdf", "*://old.example.com/*", "x?y"}));
    EXPECT_EQ(list.folders, (std::vector<std::string>{"\\Work\\Old stuff", "\\Archive\\"}));
    EXPECT_TRUE(ParseSkipList(" ; ").patterns.empty());
}

// A skipped folder holds its sub-folders but not a sibling whose name begins the same way.
TEST(LinkSelectionTest, FolderPathsMatchWholeNamesAndEverythingInside) {
    EXPECT_TRUE(InFolderPath("\\Work\\Old", "\\Work\\Old"));
    EXPECT_TRUE(InFolderPath("\\Work\\Old\\2019", "\\Work\\Old\\"));
    EXPECT_FALSE(InFolderPath("\\Work\\Older", "\\Work\\Old"));
    EXPECT_FALSE(InFolderPath("", "\\Work"));
    EXPECT_TRUE(InFolderPath("", "\\"));
}

}  // namespace
}  // namespace tolva
