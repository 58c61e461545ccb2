#include "platform/ascii.h"

#include <gtest/gtest.h>

namespace tolva {
namespace {

TEST(AsciiTest, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(EqualsIgnoringAsciiCase("InternetShortcut.URL", "internetshortcut.url"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("a", "ab"));
    // Neighbours of the letters and UTF-8 bytes differ from their partners by 0x20 too.
    EXPECT_FALSE(EqualsIgnoringAsciiCase("@[\\]^", "`{|}~"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\x89", "\xC3\xA9"));
    EXPECT_EQ(LowerAscii(std::string("Tolva_\xC3\x89[Z]")), "tolva_\xC3\x89[z]");
}

TEST(AsciiTest, OrdersInUpperCaseAsNtfsListsNames) {
    // In upper case "_" comes after the letters; in lower case it would come before them.
    EXPECT_GT(CompareIgnoringAsciiCase("_a", "zb"), 0);
    EXPECT_LT(CompareIgnoringAsciiCase("a", "AB"), 0);
    EXPECT_LT(CompareIgnoringAsciiCase("z", "\xC3\x89"), 0);
    EXPECT_EQ(CompareIgnoringAsciiCase("aB", "Ab"), 0);
}

}  // namespace
}  // namespace tolva
