#include "model/entry_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "model/url_set.h"

namespace tolva {
namespace {

TEST(EntryTextTest, BorrowedTextFollowsItsSourceAndOwnedTextDoesNot) {
    std::string source = "borrowed";
    EntryText borrowed = EntryText::Borrow(source);
    EntryText owned = std::string_view(source);
    EntryText copyOfBorrowed = borrowed;
    source[0] = 'B';
    EXPECT_TRUE(borrowed.IsBorrowed());
    EXPECT_FALSE(owned.IsBorrowed());
    EXPECT_EQ(borrowed, "Borrowed");
    EXPECT_EQ(copyOfBorrowed, "Borrowed");
    EXPECT_EQ(owned, "borrowed");

    EntryText copyOfOwned = owned;
    owned = "changed";
    EXPECT_EQ(copyOfOwned, "borrowed");
    EntryText moved = std::move(copyOfOwned);
    EXPECT_EQ(moved, "borrowed");
    EXPECT_TRUE(copyOfOwned.empty());  // NOLINT(bugprone-use-after-move): a moved-from text is empty
}

TEST(EntryTextTest, AssigningPartOfItselfKeepsTheText) {
    EntryText text = std::string_view("a long enough name");
    text = text.view().substr(2, 4);
    EXPECT_EQ(text, "long");
    text = text;
    EXPECT_EQ(text, "long");
    text.clear();
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(text.size(), 0u);
}

TEST(EntryTextTest, RenameToItsOwnNameKeepsBothNames) {
    UrlEntry entry(UrlEntryKind::Link, "Home", "u");
    entry.Rename(entry.name, NameTranslated);
    EXPECT_EQ(entry.name, "Home");
    EXPECT_EQ(entry.preservedName, "Home");
    EXPECT_EQ(entry.flags, NameTranslated | NamePreserved);
    EXPECT_EQ("x" + entry.name + std::string("y"), "xHomey");
}

}  // namespace
}  // namespace tolva
