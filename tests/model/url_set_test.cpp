#include "model/url_set.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tolva {
namespace {

// Builds FolderStart A, Link a1, FolderEnd, FolderStart B, Link b1, Link b2, Link b3, FolderEnd, FolderEnd.
class UrlSetListTest : public ::testing::Test {
protected:
    void SetUp() override {
        set.Append(new UrlEntry(UrlEntryKind::FolderStart, "A"));
        a1 = new UrlEntry(UrlEntryKind::Link, "a1", "http://a1/");
        set.Append(a1);
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        set.Append(new UrlEntry(UrlEntryKind::FolderStart, "B"));
        b1 = new UrlEntry(UrlEntryKind::Link, "b1");
        b2 = new UrlEntry(UrlEntryKind::Link, "b2");
        b3 = new UrlEntry(UrlEntryKind::Link, "b3");
        set.Append(b1);
        set.Append(b2);
        set.Append(b3);
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, ""));
        set.Rewind();
    }
    std::vector<std::string> Walk() {
        std::vector<std::string> seen;
        set.Rewind();
        while (UrlEntry* entry = set.Next()) seen.push_back(entry->name + "@" + set.GetCurrentPath());
        return seen;
    }

    UrlSet set;
    UrlEntry *a1, *b1, *b2, *b3;
};

TEST_F(UrlSetListTest, NextTracksTheFolderPath) {
    EXPECT_EQ(Walk(),
              (std::vector<std::string>{"A@\\A", "a1@\\A", "@", "B@\\B", "b1@\\B", "b2@\\B", "b3@\\B", "@", "@"}));
    EXPECT_EQ(set.Next(), nullptr);
}

TEST_F(UrlSetListTest, FindFolderFollowsPathsAndTreatsBackslashAsTop) {
    EXPECT_EQ(set.FindFolder("\\"), &set.root);
    EXPECT_EQ(set.FindFolder(""), &set.root);
    ASSERT_NE(set.FindFolder("\\B"), nullptr);
    EXPECT_EQ(set.FindFolder("\\B")->name, "B");
    EXPECT_EQ(set.FindFolder("\\b"), nullptr);
    EXPECT_EQ(set.FindFolder("\\C"), nullptr);
}

TEST_F(UrlSetListTest, MoveAfterRelinksBothDirections) {
    EXPECT_EQ(b2->MoveAfter(b3), b1);
    EXPECT_EQ(b1->next, b3);
    EXPECT_EQ(b3->prev, b1);
    EXPECT_EQ(b3->next, b2);
    EXPECT_EQ(b2->prev, b3);
    EXPECT_EQ(b2->next->kind, UrlEntryKind::FolderEnd);
    EXPECT_EQ(b2->next->prev, b2);
    // Only links move, and only to a real target.
    UrlEntry* folderB = set.FindFolder("\\B");
    EXPECT_EQ(folderB->MoveAfter(a1), nullptr);
    EXPECT_EQ(b1->MoveAfter(nullptr), nullptr);
    EXPECT_EQ(a1->next->kind, UrlEntryKind::FolderEnd);
}

TEST_F(UrlSetListTest, RenameAndPreservedLocationKeepHistory) {
    b1->Rename("new", NameTranslated);
    EXPECT_EQ(b1->name, "new");
    EXPECT_EQ(b1->preservedName, "b1");
    EXPECT_EQ(b1->flags, NamePreserved | NameTranslated);
    b1->SetPreservedLocation("\\B", ChangedByVerification);
    EXPECT_EQ(b1->preservedLocation, "\\B");
    EXPECT_EQ(b1->flags, NamePreserved | NameTranslated | LocationPreserved | ChangedByVerification);
}

TEST_F(UrlSetListTest, ClearRewindsAndEmpties) {
    set.Next();
    set.Clear();
    EXPECT_EQ(set.root.next, nullptr);
    EXPECT_EQ(set.GetCursor(), &set.root);
    EXPECT_EQ(set.GetCurrentPath(), "");
}

}  // namespace
}  // namespace tolva
