#include "translate/entry_conversion.h"

#include <gtest/gtest.h>

#include "support/set_files.h"

namespace tolva {
namespace {

// The tables below read as rows of formats and kinds.
using enum UrlSetFormat;
using UrlEntryKind::FolderStart;
using UrlEntryKind::Link;

struct RuleCase {
    UrlSetFormat from;
    UrlSetFormat to;
    UrlEntryKind kind;
    bool fixAmpersands;
    const char* name;
    bool hasRule;
    const char* candidate;
};

TEST(EntryConversionTest, RuleOfEachFormatPair) {
    const RuleCase cases[] = {
        {Netscape, Shortcuts, Link, true, "Q&&A: News", true, "Q&A- News"},
        {Netscape, Shortcuts, Link, false, "Q&&A: News", true, "Q&&A- News"},
        {Mosaic, Shortcuts, FolderStart, false, "Misc...", true, "Misc"},
        {Mosaic, Shortcuts, Link, false, "Misc...", true, "Misc..."},
        {Mosaic, Shortcuts, Link, false, "a/b\\c", true, "a-b-c"},
        {Netscape, Shortcuts, Link, false, "\\?:*\"<>|/", true, "---------"},
        {Netscape, Shortcuts, FolderStart, false, "...", true, ""},
        {Netscape, Shortcuts, FolderStart, false, ".NET", true, "-NET"},
        {Netscape, Shortcuts, FolderStart, false, "..", true, ""},
        {Netscape, Shortcuts, Link, false, ".profile", true, ".profile"},
        {Netscape, Shortcuts, Link, true, "A && B && C", true, "A & B & C"},
        {Netscape, Shortcuts, Link, true, "&&&&", true, "&"},
        {Shortcuts, Netscape, Link, true, "R&D", true, "R&&D"},
        {Shortcuts, Mosaic, FolderStart, true, "&&", true, "&&&&"},
        {Shortcuts, Netscape, Link, false, "R&D", true, "R&D"},
        {Shortcuts, Mosaic, Link, false, "a:b", true, "a:b"},
        {Mosaic, Netscape, Link, true, "a&&b:c", false, "a&&b:c"},
        {Netscape, Mosaic, FolderStart, true, "x...", false, "x..."},
        {Shortcuts, Shortcuts, Link, true, "a&&b", false, "a&&b"},
    };
    for (const RuleCase& c : cases) {
        UrlEntry entry(static_cast<UrlEntryKind>(c.kind), c.name);
        std::string candidate;
        EXPECT_EQ(RenamingRuleCandidate(c.from, c.to, entry, c.fixAmpersands, candidate), c.hasRule) << c.name;
        EXPECT_EQ(candidate, c.candidate) << c.from << "->" << c.to << " " << c.name;
    }
}

TEST(EntryConversionTest, AmpersandsDoubleAndCollapse) {
    EXPECT_EQ(TranslateAmpersands("&&", AmpersandDirection::Double), "&&&&");
    EXPECT_EQ(TranslateAmpersands("a&", AmpersandDirection::Double), "a&&");
    EXPECT_EQ(TranslateAmpersands("a & b", AmpersandDirection::Collapse), "a & b");
    EXPECT_EQ(TranslateAmpersands("&&&a&&", AmpersandDirection::Collapse), "&a&");
}

}  // namespace
}  // namespace tolva
