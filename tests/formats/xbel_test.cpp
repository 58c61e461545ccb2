#include <expat.h>
#include <gtest/gtest.h>

#include "formats/format.h"
#include "formats/set_storage.h"
#include "model/url_set.h"
#include "support/outline.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::Outline;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::RecordingText;
using testing::TempDir;
using testing::WriteFile;

// As KDE writes its places: metadata of other owners, attributes and elements Tolva has no
// field for, nested folders, a separator, an alias, entities, a description, dates with and
// without a zone.
const std::string kPlaces = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE xbel>
<xbel xmlns:bookmark="http://www.freedesktop.org/standards/desktop-bookmarks" xmlns:kdepriv="http://www.kde.org/kdepriv">
 <title>Ann &amp; Bo</title>
 <bookmark href="file:///home/ann" added="2024-02-29T13:45:00Z">
  <title>Home</title>
  <info>
   <metadata owner="http://freedesktop.org">
    <bookmark:icon name="user-home"/>
   </metadata>
   <metadata owner="http://www.kde.org"><ID>1700000000/0</ID><VisitCount note="a &amp; b">3</VisitCount></metadata>
  </info>
 </bookmark>
 <folder added="2001-09-09T03:46:40+02:00" folded="no" modified="soon">
  <title>Wörk &lt;old&gt;</title>
  <desc>not a link's</desc>
  <separator/>
  <folder><title>Deep</title>
   <bookmark href="http://a.example/?x=1&amp;y=2" modified="1970-01-02T00:00:00Z"><title>A "quoted"</title><desc>two
lines</desc></bookmark>
  </folder>
  <alias ref="b1"/>
 </folder>
</xbel>
)";

class XbelTest : public ::testing::Test {
protected:
    int ReadFrom(UrlSet& set, const std::string& path) {
        set.SetPrompter(&prompter);
        return testing::ReadSet(set, UrlSetFormat::Xbel, path, &status);
    }
    int WriteTo(UrlSet& set, const std::string& path) {
        set.SetPrompter(&prompter);
        return testing::WriteSet(set, UrlSetFormat::Xbel, path);
    }

    TempDir dir;
    RecordingPrompter prompter;
    RecordingText status;
};

TEST_F(XbelTest, ReadsFoldersBookmarksSeparatorsDescriptionsAndDates) {
    WriteFile(dir.File("places.xbel"), kPlaces);
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, dir.File("places.xbel")), 1);
    EXPECT_EQ(HeadingOf(set), "Ann & Bo");
    EXPECT_EQ(Outline(set), (std::vector<std::string>{
                                "L  | Home | file:///home/ann | ADD_DATE=\"1709214300\" |  | ",
                                "F \\Wörk <old> | ADD_DATE=\"1000000000\" <DD>not a link's",
                                "S \\Wörk <old>",
                                "F \\Wörk <old>\\Deep",
                                "L \\Wörk <old>\\Deep | A \"quoted\" | http://a.example/?x=1&y=2 | "
                                "LAST_MODIFIED=\"86400\" |  |  <DD>two\nlines",
                                "E \\Wörk <old>",
                                "E ",
                                "E ",
                            }));
    UrlEntry* folder = set.FindFolder("\\Wörk <old>");
    ASSERT_NE(folder, nullptr);
    EXPECT_EQ(folder->extraAttributes, " ADD_DATE=\"1000000000\"");
    EXPECT_EQ(set.linkCount, 2);
    EXPECT_EQ(set.folderCount, 2);
    EXPECT_EQ(status.Current(), "XBEL file loaded.");
    EXPECT_TRUE(prompter.shown.empty());
}

// A verification writes the file back where it was: what KDE and others stored there stays,
// each part where it stood.
TEST_F(XbelTest, FileWrittenBackKeepsWhatOtherProgramsStoredInPlace) {
    const std::string path = dir.File("places.xbel");
    WriteFile(path, kPlaces);
    UrlSet set;
    SetStorage storage{set};
    set.SetPrompter(&prompter);
    ASSERT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Xbel, path), 1);
    ASSERT_EQ(storage.Read(nullptr), 1);
    const std::vector<std::string> before = Outline(set);
    set.root.next->Rename("Home - gone", 0);
    ASSERT_EQ(storage.Write(), 1);
    storage.Close();
    const std::string written = ReadFile(path);

    const std::size_t root = written.find("<xbel ");
    EXPECT_LT(written.find("xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\""),
              written.find('>', root));
    // Home's own info holds both other owners' metadata and ours, once.
    const std::size_t home = written.find("<bookmark href=\"file:///home/ann\"");
    ASSERT_NE(home, std::string::npos) << written;
    const std::string bookmark = written.substr(home, written.find("</bookmark>", home) - home);
    for (const char* part : {"<title>Home - gone</title>", "<bookmark:icon name=\"user-home\"/>",
                             "<metadata owner=\"http://www.kde.org\"><ID>1700000000/0</ID>"
                             "<VisitCount note=\"a &amp; b\">3</VisitCount></metadata>",
                             "<metadata owner=\"urn:tolva\">"}) {
        EXPECT_NE(bookmark.find(part), std::string::npos) << part << "\n" << written;
    }
    EXPECT_EQ(bookmark.find("<info>"), bookmark.rfind("<info>")) << bookmark;
    // The folder's attributes (a date it cannot read among them) and the alias after Deep.
    EXPECT_NE(written.find("<folder added=\"2001-09-09T01:46:40Z\" folded=\"no\" modified=\"soon\">"),
              std::string::npos)
        << written;
    const std::size_t deepEnd = written.find("</folder>", written.find("<title>Deep</title>"));
    EXPECT_EQ(written.find("<alias ref=\"b1\"/>"), written.find('<', deepEnd + 1)) << written;

    // The file reads back as it was but for the rename, and another save changes nothing.
    UrlSet back;
    ASSERT_EQ(ReadFrom(back, path), 1);
    std::vector<std::string> expected = before;
    expected[0] = "L  | Home - gone | file:///home/ann | ADD_DATE=\"1709214300\" | Home | ";
    EXPECT_EQ(Outline(back), expected);
    ASSERT_EQ(WriteTo(back, dir.File("again.xbel")), 1);
    EXPECT_EQ(ReadFile(dir.File("again.xbel")), written);
}

TEST_F(XbelTest, PreservedNameAndLocationGoIntoOurOwnMetadataAndComeBack) {
    UrlSet set;
    set.title = "T";
    set.Append(new UrlEntry(UrlEntryKind::FolderStart, "Unverified"));
    auto* moved = new UrlEntry(UrlEntryKind::Link,
                               "dead\xC2\xAD"
                               "Page not found",
                               "http://d/");
    moved->Rename(
        "dead\xC2\xAD"
        "Page not found",
        ChangedByVerification);
    moved->preservedName = "dead";
    moved->SetPreservedLocation("\\Work & Play", ChangedByVerification);
    set.Append(moved);
    // A location inside "Unverified" is not kept, as in a bookmark file.
    auto* inside = new UrlEntry(UrlEntryKind::Link, "x", "http://x/");
    inside->SetPreservedLocation("\\Unverified\\Gone", 0);
    set.Append(inside);
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    const std::string path = dir.File("v.xbel");
    ASSERT_EQ(WriteTo(set, path), 1);
    EXPECT_NE(ReadFile(path).find("<metadata owner=\"urn:tolva\">"), std::string::npos);

    UrlSet back;
    ASSERT_EQ(ReadFrom(back, path), 1);
    EXPECT_EQ(testing::BriefOutline(back),
              (std::vector<std::string>{"1 Unverified ",
                                        "3 dead\xC2\xAD"
                                        "Page not found http://d/ name=dead loc=\\Work & Play",
                                        "3 x http://x/", "2  ", "2  "}));
}

// Whether text is well-formed XML with namespaces, as other programs read it.
bool NamespaceWellFormed(const std::string& text) {
    XML_Parser parser = XML_ParserCreateNS("UTF-8", ' ');
    const bool ok = XML_Parse(parser, text.data(), static_cast<int>(text.size()), 1) == XML_STATUS_OK;
    XML_ParserFree(parser);
    return ok;
}

TEST_F(XbelTest, BookmarkMovedOutOfItsFolderKeepsTheNamespaceItUsesDeclared) {
    const std::string path = dir.File("ns.xbel");
    WriteFile(path, R"(<?xml version="1.0" encoding="UTF-8"?>
<xbel><folder xmlns:f="urn:f"><title>Work</title>
<bookmark href="http://a/" f:attr="1"><title>A</title><info><metadata owner="urn:x"><f:icon/></metadata></info></bookmark>
</folder></xbel>
)");
    UrlSet set;
    ASSERT_EQ(ReadFrom(set, path), 1);
    // In its folder the folder's declaration serves: none is added.
    ASSERT_EQ(WriteTo(set, dir.File("same.xbel")), 1);
    const std::string same = ReadFile(dir.File("same.xbel"));
    EXPECT_TRUE(NamespaceWellFormed(same)) << same;
    EXPECT_EQ(same.find("xmlns:f"), same.rfind("xmlns:f")) << same;

    UrlEntry* link = set.root.next->next;
    ASSERT_EQ(link->kind, UrlEntryKind::Link);
    link->MoveAfter(&set.root);
    ASSERT_EQ(WriteTo(set, dir.File("moved.xbel")), 1);
    const std::string moved = ReadFile(dir.File("moved.xbel"));
    EXPECT_TRUE(NamespaceWellFormed(moved)) << moved;
    EXPECT_NE(moved.find("<bookmark href=\"http://a/\" f:attr=\"1\" xmlns:f=\"urn:f\">"), std::string::npos) << moved;
}

TEST_F(XbelTest, TextNoXmlCanHoldIsWrittenSoItReadsBack) {
    UrlSet set;
    // A name saved on Windows (a lone 0xAD), control characters, markup and a tag of our own.
    auto* link = new UrlEntry(UrlEntryKind::Link,
                              "Home\xAD"
                              "Error\x01<b>&",
                              "http://h/?a=\"1\"&b=<2>");
    link->extraAttributes = " TAGS=\"a,b&amp;c\" ADD_DATE=\"not a date\"";
    set.Append(link);
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    const std::string path = dir.File("odd.xbel");
    ASSERT_EQ(WriteTo(set, path), 1);
    UrlSet back;
    ASSERT_EQ(ReadFrom(back, path), 1) << ReadFile(path);
    EXPECT_EQ(Outline(back), (std::vector<std::string>{"L  | Home\xC2\xAD"
                                                       "Error <b>& | http://h/?a=\"1\"&b=<2> | TAGS=\"a,b&amp;c\" "
                                                       "ADD_DATE=\"not a date\" |  | ",
                                                       "E "}));
}

TEST_F(XbelTest, BrokenOrForeignDocumentIsReportedAndNotRead) {
    struct Row {
        const char* text;
        const char* shown;
    };
    for (const Row& row :
         {Row{"<xbel><folder><title>A</title></xbel>", "mismatched tag (line 1)"}, Row{"", "no element found (line 1)"},
          Row{"<html><body/></html>", "its document is <html>, not <xbel>"}}) {
        SCOPED_TRACE(row.text);
        prompter.shown.clear();
        WriteFile(dir.File("bad.xbel"), row.text);
        UrlSet set;
        EXPECT_EQ(ReadFrom(set, dir.File("bad.xbel")), 0);
        ASSERT_EQ(prompter.shown.size(), 1u);
        EXPECT_NE(prompter.shown[0].text.find(row.shown), std::string::npos) << prompter.shown[0].text;
    }
}

// An entity that expands to itself many times over is refused, not expanded.
TEST_F(XbelTest, EntityExpansionIsBounded) {
    std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE xbel [\n<!ENTITY a0 \"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\">\n";
    for (int i = 1; i < 12; ++i) {
        text += "<!ENTITY a" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j) text += "&a" + std::to_string(i - 1) + ";";
        text += "\">\n";
    }
    text += "]>\n<xbel><title>&a11;</title></xbel>\n";
    WriteFile(dir.File("laughs.xbel"), text);
    UrlSet set;
    EXPECT_EQ(ReadFrom(set, dir.File("laughs.xbel")), 0);
    EXPECT_EQ(prompter.shown.size(), 1u);
}

}  // namespace
}  // namespace tolva
