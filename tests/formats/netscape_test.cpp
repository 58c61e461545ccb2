#include "formats/netscape.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "formats/format.h"
#include "formats/html_text.h"
#include "formats/netscape_link.h"
#include "formats/set_storage.h"
#include "model/url_set.h"
#include "platform/registered_owner.h"
#include "resources/strings.h"
#include "support/failing_file.h"
#include "support/outline.h"
#include "support/recording.h"
#include "support/set_files.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::FailingFiles;
using testing::FileFaults;
using testing::FixturePath;
using testing::Outline;
using testing::ReadFile;
using testing::ReadSet;
using testing::RecordingPrompter;
using testing::RecordingText;
using testing::TempDir;
using testing::WriteFile;
using testing::WriteSet;
using namespace std::string_literals;

const std::string kHeaderAnn =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<Title>Ann's Bookmarks</Title>\r\n<H1>Ann's Bookmarks</H1>\r\n<DL><p>\r\n";

// A file that yields no entry is read only when its start says it is a bookmark file.
const std::string kDoctype = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n";

class NetscapeTest : public ::testing::Test {
protected:
    // Reads bytes as a file's whole content; returns the reader's result.
    int ReadText(const std::string& bytes, TextControl* status = nullptr) {
        std::string path = dir.File("in" + std::to_string(++files) + ".html");
        WriteFile(path, bytes);
        set.SetPrompter(&prompter);
        return ReadSet(storage, UrlSetFormat::Netscape, path, status);
    }
    // Writes the set and returns the bytes of the file.
    std::string Written() {
        std::string path = dir.File("out" + std::to_string(++files) + ".html");
        set.SetPrompter(&prompter);
        EXPECT_EQ(WriteSet(storage, UrlSetFormat::Netscape, path), 1);
        return ReadFile(path);
    }
    UrlEntry* AddLink(const std::string& name, const std::string& url, int flags = 0) {
        auto* link = new UrlEntry(UrlEntryKind::Link, name, url);
        link->flags = flags;
        set.Append(link);
        return link;
    }

    TempDir dir;
    int files = 0;
    RecordingPrompter prompter;
    UrlSet set;
    SetStorage storage{set};
};

// ---------------------------------------------------------------------------------------
// Reading line by line

struct ReadCase {
    const char* what;
    std::string body;
    std::vector<std::string> outline;
};

TEST_F(NetscapeTest, RecognisesEachKindOfLine) {
    const std::vector<ReadCase> cases = {
        {"folder heading keeps its attributes as a link does",
         "<DT><H3 FOLDED ADD_DATE=\"1\" PERSONAL_TOOLBAR_FOLDER=\"true\">News</H3>\n<DL><p>\n</DL><p>\n",
         {"F \\News | FOLDED ADD_DATE=\"1\" PERSONAL_TOOLBAR_FOLDER=\"true\"", "E ", "E "}},
        {"dates are kept in order",
         "<DT><A HREF=\"http://u/\" ADD_DATE=\"1\" LAST_VISIT=\"2\">Home</A>\n",
         {"L  | Home | http://u/ | ADD_DATE=\"1\" LAST_VISIT=\"2\" |  | ", "E "}},
        {"end on the next line joins with one space",
         "<DT><A HREF=\"u\">Ho\nme</A>\n",
         {"L  | Ho me | u | |  | ", "E "}},
        {"lists closed with or without <p>", "<DT><H3>A</H3>\n<DL>\n</DL>\n  </DL><p>\n", {"F \\A", "E ", "E "}},
        {"separators: alone, indented, with white space or text after them",
         "<HR>\n   <HR>\n<HR> \n<HR>x\n<hr/>\n",
         {"S ", "S ", "S ", "S ", "S ", "E "}},
        {"a separator with an item on its line gives both",
         "<HR>    <DT><A HREF=\"u\">x</A>\n<HR>\t<HR> <DT><H3>F</H3>\n",
         {"S ", "L  | x | u | |  | ", "S ", "S ", "F \\F", "E ", "E "}},
        {"preserved attributes fill the preserved fields",
         "<DT><A HREF=\"u\" PRE_VFY_NAME=\"Old\" PRE_VFY_LOC=\"\\Work\" X=\"1\">New</A>\n",
         {"L  | New | u | X=\"1\" | Old | \\Work", "E "}},
        {"tags and attribute names in any case",
         "<dt><h3>a</h3>\n<dl><p>\n<dt><a href=\"u\" add_date=\"1\">x</a>\n</dl><p>\n<hr>\n<Dt><A Href=\"v\">y</A>\n",
         {"F \\a", "L \\a | x | u | add_date=\"1\" |  | ", "E ", "S ", "L  | y | v | |  | ", "E "}},
        {"a folder heading without a list is an empty folder",
         "<DT><H3>Ebay</H3>\n<DT><A HREF=\"u\">x</A>\n<DT><H3>Last</H3>\n",
         {"F \\Ebay", "E ", "L  | x | u | |  | ", "F \\Last", "E ", "E "}},
        {"several entries on one line",
         "<DL><p><DT><A HREF=\"a\">A</A><DT><A HREF=\"b\">B</A>\n<DT><H3>F</H3><DL><p><DT><A HREF=\"c\">C</A></DL><p>"
         "<HR><DT><A HREF=\"d\">D</A>\n",
         {"L  | A | a | |  | ", "L  | B | b | |  | ", "F \\F", "L \\F | C | c | |  | ", "E ", "S ",
          "L  | D | d | |  | ", "E "}},
        {"'>' and '</A>' inside a quoted value do not end the tag",
         "<DT><A HREF=\"javascript:w('</A>')\" ICON=\"a>b\">Go</A><DT><A HREF=\"x\">y</A>\n",
         {"L  | Go | javascript:w('</A>') | ICON=\"a>b\" |  | ", "L  | y | x | |  | ", "E "}},
        {"a value holding '</A>' and a quote before a space is read as the general reading reads it",
         "<DT><A HREF=\"x</A> Y=\" Z=\"w\">n</A>\n",
         {"L  | n | x</A> Y= | Z=\"w\" |  | ", "E "}},
        {"descriptions stay with their link or folder, over several lines; a stray one is dropped",
         "<DD>stray\n<DT><H3>F</H3>\n<DD>About F\n<DL><p>\n<DT><A HREF=\"u\">x</A>\n<DD>One\n\n  two <a "
         "href=\"i\">i</a>\n"
         "</DL><p>\n<DT><A HREF=\"v\">y</A><DD>Same line<DT><A HREF=\"w\">z</A>\n<DD>Last\n"
         "<DT><A HREF=\"t\">t</A>\nno description\n",
         {"F \\F <DD>About F", "L \\F | x | u | |  |  <DD>One\n\n  two <a href=\"i\">i</a>", "E ",
          "L  | y | v | |  |  <DD>Same line", "L  | z | w | |  |  <DD>Last", "L  | t | t | |  | ", "E "}},
        {"link without name, without '>' or without HREF",
         "<DT><A HREF=\"u\"></A>\n<DT><A no close</A>\n<DT><A ADD_DATE=\"3\">z</A>\n",
         {"L  |  | u | |  | ", "L  | no close |  | |  | ", "L  | z |  | ADD_DATE=\"3\" |  | ", "E "}},
        {"valueless attributes are kept and do not hide the next name",
         "<DT><A SUBSCRIBE  LAST_CHANGED HREF=\"u\" FOLDED ID=\"7\" TRAILING >x</A>\n",
         {"L  | x | u | SUBSCRIBE  LAST_CHANGED FOLDED ID=\"7\" TRAILING |  | ", "E "}},
        {"'>' inside a quoted value, unquoted values, a quote never closed",
         "<DT><A HREF=\"javascript:if(a>b)go()\" ADD_DATE=\"1\">Run</A>\n<DT><A HREF=u?a=b ADD_DATE=5>x</A>\n"
         "<DT><A HREF=\"u>y</A>\n",
         {"L  | Run | javascript:if(a>b)go() | ADD_DATE=\"1\" |  | ", "L  | x | u?a=b | ADD_DATE=\"5\" |  | ",
          "L  | y | u | |  | ", "E "}},
        {"unterminated link at the end keeps what it has",
         "<DT><A HREF=\"u\">Na\nme",
         {"L  | Na me | u | |  | ", "E "}},
        {"kept attributes on both sides of HREF and the preserved ones stay in order",
         "<DT><A ADD_DATE=\"1\" HREF=\"u\" ICON=\"i\">a</A>\n"
         "<DT><A HREF=\"u\" A=\"1\" PRE_VFY_NAME=\"p\" B=\"2\">b</A>\n",
         {"L  | a | u | ADD_DATE=\"1\" ICON=\"i\" |  | ", "L  | b | u | A=\"1\" B=\"2\" | p | ", "E "}},
        {"a quoted value ends at its quote; doubled spaces are dropped",
         "<DT><A HREF=\"u\"\tA=\"1\"  B=\"2\">a</A>\n<DT><A HREF=\"u\"ADD_DATE=\"1\">b</A>\n",
         {"L  | a | u | A=\"1\" B=\"2\" |  | ", "L  | b | u | ADD_DATE=\"1\" |  | ", "E "}},
        {"a line ends at CR, LF, CRLF or a zero byte, and a file may have no LF at all",
         std::string("<DT><A HREF=\"a\">A</A>\r<DT><A HREF=\"b\">B</A>\r\n<DT><A HREF=\"c\">C</A>\n\r"
                     "<DT><A HREF=\"d\">D</A>\0<HR>\r<HR>\r",
                     100),
         {"L  | A | a | |  | ", "L  | B | b | |  | ", "L  | C | c | |  | ", "L  | D | d | |  | ", "S ", "S ", "E "}},
        {"'>' and '=' in values, quotes in the name, an HREF given twice",
         "<DT><A HREF=\"a>b=c\" X=\">\">say \"hi\"</A>\n<DT><A HREF=\"1\" HREF=\"2\">n</A>\n",
         {"L  | say \"hi\" | a>b=c | X=\">\" |  | ", "L  | n | 2 | |  | ", "E "}},
    };
    for (const ReadCase& c : cases) {
        storage.Close();
        ASSERT_EQ(ReadText(c.body), 1) << c.what;
        EXPECT_EQ(Outline(set), c.outline) << c.what;
    }
}

TEST_F(NetscapeTest, TitleLines) {
    // The owner's name of this program's own heading, or the heading whole.
    const std::vector<std::tuple<std::string, std::string, std::string>> cases = {
        {"<H1>Ann's Bookmarks</H1>", "Ann", ""},
        {"<H1>Bookmarks</H1>", "", "Bookmarks"},
        {"<h1 LAST_MODIFIED=\"1\">Bookmarks for Ann Example</h1>", "", "Bookmarks for Ann Example"},
        {"  <DT><H1 FOLDED>Shared</H1>", "", "Shared"},
        {"<DT><H1>", "", ""},
    };
    for (const auto& [line, title, heading] : cases) {
        storage.Close();
        set.title = "unchanged";
        ASSERT_EQ(ReadText(kDoctype + line + "\r\n"), 1);
        EXPECT_EQ(set.title, title) << line;
        EXPECT_EQ(set.heading, heading) << line;
    }
}

TEST_F(NetscapeTest, TitleAndHeadingAreWrittenBackAsReadAndNeverEmpty) {
    ASSERT_EQ(ReadText(kDoctype + "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks</H1>\n<DL><p>\n</DL><p>\n"), 1);
    EXPECT_TRUE(StartsWith(
        Written(),
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<Title>Bookmarks</Title>\r\n<H1>Bookmarks</H1>\r\n<DL><p>\r\n"));
    // A title other than the heading (as Firefox exports) is not replaced by the heading.
    storage.Close();
    ASSERT_EQ(ReadText(kDoctype + "<title>Bookmarks</title>\n<H1>Bookmarks Menu</H1>\n<DL><p>\n</DL><p>\n"), 1);
    EXPECT_TRUE(StartsWith(Written(),
                           "<!DOCTYPE NETSCAPE-Bookmark-file-1>\r\n<Title>Bookmarks</Title>\r\n"
                           "<H1>Bookmarks Menu</H1>\r\n<DL><p>\r\n"));
    // No title known: the person's name, from the settings store or the account.
    storage.Close();
    ASSERT_EQ(ReadText(kDoctype + "<DL><p>\n</DL><p>\n"), 1);
    const std::string owner = RegisteredOwner();
    ASSERT_FALSE(owner.empty());
    EXPECT_NE(Written().find("<H1>" + HtmlFromPlain(owner) + "'s Bookmarks</H1>"), std::string::npos);
}

TEST_F(NetscapeTest, CountsLinesFoldersAndReportsProgress) {
    RecordingText status;
    ASSERT_EQ(ReadText("<DL><p>\n<DT><H3>A</H3>\n<DT><A HREF=\"u\">two\nlines</A>\n<HR>  <DT><A HREF=\"v\">w</A>\n"
                       "</DL><p>\n",
                       &status),
              1);
    EXPECT_EQ(set.linkCount, 2);
    EXPECT_EQ(set.folderCount, 1);
    EXPECT_EQ(set.GetCursor(), nullptr);
    // The link's second line and the item after the separator are not lines of their own.
    EXPECT_EQ(status.history, (std::vector<std::string>{"Reading line 1", "Reading line 2", "Reading line 3",
                                                        "Reading line 4", "Reading line 5", "Netscape file loaded."}));
    // The number carries into a new digit.
    storage.Close();
    status.history.clear();
    std::string lines;
    for (int i = 0; i < 1000; ++i) lines += "<HR>\n";
    ASSERT_EQ(ReadText(lines, &status), 1);
    ASSERT_EQ(status.history.size(), 1001u);
    EXPECT_EQ(status.history[8], "Reading line 9");
    EXPECT_EQ(status.history[9], "Reading line 10");
    EXPECT_EQ(status.history[99], "Reading line 100");
    EXPECT_EQ(status.history[999], "Reading line 1000");
    // A run of empty lines (zero bytes, line ends of every kind) is counted in one step.
    storage.Close();
    status.history.clear();
    ASSERT_EQ(ReadText("\0\0\r\n\n\r<HR>\r\n\n"s, &status), 1);
    EXPECT_EQ(status.history, (std::vector<std::string>{"Reading line 5", "Reading line 6", "Reading line 7",
                                                        "Netscape file loaded."}));
    EXPECT_EQ(Outline(set), (std::vector<std::string>{"S ", "E "}));
    // A file without any line cannot be read.
    storage.Close();
    status.history.clear();
    EXPECT_EQ(ReadText("", &status), 0);
    EXPECT_EQ(set.root.next, nullptr);
    EXPECT_EQ(status.history, (std::vector<std::string>{"Netscape file loaded."}));
}

TEST_F(NetscapeTest, LongLinesArriveWholeAndAtTheirLineEnds) {
    // Lines longer than one read piece, with ends at and around the piece boundaries.
    for (std::size_t urlLength : {1000u, 1010u, 1017u, 1018u, 2048u, 5000u}) {
        storage.Close();
        std::string url = "http://x/" + std::string(urlLength, 'a');
        std::string icon(1500, 'b');
        ASSERT_EQ(ReadText("<DT><A HREF=\"" + url + "\" ICON=\"" + icon + "\">Name</A>\r\n<HR>\r\n"), 1);
        EXPECT_EQ(Outline(set),
                  (std::vector<std::string>{"L  | Name | " + url + " | ICON=\"" + icon + "\" |  | ", "S ", "E "}))
            << urlLength;
    }
}

TEST(NetscapeArrivingTest, LinksReadWhereTheFileArrivesInSmallPiecesAreThoseOfTheWholeFile) {
    // A file large enough to be read while it loads, in pieces of an odd size: its lines, CRLFs
    // and names are cut at every place between two pieces. Each line must be read as it would
    // be with all of it there, and counted once.
    const std::string block =
        "    <DT><A HREF=\"http://a/\" ADD_DATE=\"1\" ICON=\"data:x\">A name</A>\r\n"
        "<DT><A HREF=\"http://b/\">B</A>  \n"
        "<DT><A HREF=\"http://c/\">C</A><DD>described\r\n"
        "<DT><A HREF=\"http://d/\" ADD_DATE=\"2\">runs on\r\nto the next line</A>\n"
        "\t<DT><A HREF=\"http://e/\" NOTE=\"a\rb\">E</A>\r\n"
        "<DT><H3>F</H3>\n<DL><p>\n</DL><p>\n";
    std::string text = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    while (text.size() < 4 * 1024 * 1024 + 1000) text += block;
    TempDir dir;
    const std::string path = dir.File("large.html");
    WriteFile(path, text);
    const auto read = [&](std::size_t piece) {
        UrlSet set;
        SetStorage storage{set};
        FileFaults faults;
        faults.readPiece = piece;
        storage.SetFileFactory(FailingFiles(faults));
        RecordingText status;
        EXPECT_EQ(ReadSet(storage, UrlSetFormat::Netscape, path, &status), 1);
        return std::make_tuple(Outline(set), set.linkCount, status.history.end()[-2]);
    };
    const auto whole = read(text.size());
    EXPECT_EQ(std::get<1>(whole), static_cast<std::int32_t>(text.size() / block.size() * 5));
    EXPECT_EQ(read(61), whole);
}

// What a read of the file at path gives, its later part read on another thread from the first
// item line after laterFrom on; *began tells where that part began (npos: read in one part).
struct PartsRead {
    std::vector<std::string> outline;
    std::string written;
    std::int32_t links = 0;
    std::int32_t folders = 0;
    std::string lastStatus;  // the line count shown last
};
PartsRead ReadInParts(TempDir& dir, const std::string& path, std::size_t laterFrom, std::size_t* began) {
    UrlSet set;
    SetStorage storage{set};
    EXPECT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, path), 1);
    set.StartReading();
    RecordingText status;
    const int result = ReadNetscapeInParts(storage, &status, laterFrom, began);
    set.FinishReading(result != 0);
    storage.CloseFile();
    EXPECT_GE(status.history.size(), 2u);
    PartsRead read{Outline(set), {}, set.linkCount, set.folderCount, status.history.end()[-2]};
    const std::string out = dir.File("parts.html");
    std::filesystem::remove(out);
    EXPECT_EQ(WriteSet(set, UrlSetFormat::Netscape, out), 1);
    read.written = ReadFile(out);
    return read;
}

// What the file at path gives written as a bookmark file while it is read, a batch of about
// batchBytes at a time (each batch in the same memory as the one before), and its link count.
std::string Streamed(TempDir& dir, const std::string& path, std::size_t batchBytes, std::int32_t& links) {
    UrlSet set;
    SetStorage storage{set};
    EXPECT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, path), 1);
    const std::unique_ptr<SetStream> stream = StreamNetscapeInBatches(storage, nullptr, batchBytes);
    EXPECT_TRUE(stream != nullptr && set.linkCount > 0);  // the first batch runs on to a link
    links = set.linkCount;
    const std::string out = dir.File("streamed.html");
    std::filesystem::remove(out);
    EXPECT_EQ(storage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape, out), 1);
    storage.Stream(stream.get());
    EXPECT_EQ(storage.Write(), 1);
    EXPECT_TRUE(stream->AllAppended());
    links += set.linkCount;
    storage.Close();
    return ReadFile(out);
}

TEST(NetscapePartsTest, AFileReadInTwoPartsAtOnceGivesWhatReadingItWholeGives) {
    // Wherever the later part begins: in an open description, after a heading with no list, on
    // a line a link from the line before runs on into, inside folders whose ends and strays
    // come later, before a later charset, title and heading.
    const std::vector<std::string> lines = {
        "<!DOCTYPE NETSCAPE-Bookmark-file-1>",
        "<META NAME=\"robots\" CONTENT=\"none\">",
        "<TITLE>Bookmarks</TITLE>",
        "<H1>Bookmarks Menu</H1>",
        "<DL><p>",
        "    <DT><H3 ADD_DATE=\"1\">Top</H3>",
        "    <DL><p>",
        "        <DT><A HREF=\"http://a/\" ADD_DATE=\"2\">A</A>",
        "<DD>described",
        "over two lines",
        "        <DT><A HREF=\"http://b/\">B</A>",
        "        <DT><H3>Empty</H3>",
        "        <DT><A HREF=\"http://c/\"",
        "<DT><A HREF=\"http://d/\">joined onto c</A>",
        "",
        "        <DT><A HREF=\"http://e/\">E</A><DD>on its line",
        "    </DL><p>",
        "    </DL><p>",
        "    </DL><p>",
        "    <DT><A HREF=\"http://f/\">F</A>",
        "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=windows-1252\">",
        "<TITLE>Later</TITLE>",
        "<H1>Later heading</H1>",
        "    <DT><H3>Second</H3>",
        "    <DL><p>",
        "        <DT><H3>Inner</H3>",
        "        <DL><p>",
        "        <DT><A HREF=\"http://g/\">G</A>",
        "        </DL><p>",
        "    </DL><p>",
        "    <DT><H3>Open at the end</H3>",
        "    <DL><p>",
        "    <DT><A HREF=\"http://h/\">H</A>",
    };
    TempDir dir;
    for (const char* lineEnd : {"\n", "\r\n"}) {
        std::string text;
        for (const std::string& line : lines) text += line + lineEnd;
        const std::string path = dir.File("in.html");
        WriteFile(path, text);
        std::size_t began = 0;
        const PartsRead whole = ReadInParts(dir, path, text.size(), &began);
        ASSERT_EQ(began, std::string::npos);
        ASSERT_EQ(whole.links, 7);
        ASSERT_EQ(whole.lastStatus, "Reading line " + std::to_string(lines.size() - 1));
        std::size_t split = 0;
        for (std::size_t from = 0; from < text.size(); ++from) {
            if (from > 0 && text[from - 1] != '\n') continue;
            const PartsRead parts = ReadInParts(dir, path, from, &began);
            EXPECT_EQ(parts.outline, whole.outline) << from;
            EXPECT_EQ(parts.written, whole.written) << from;
            EXPECT_EQ(parts.links, whole.links) << from;
            EXPECT_EQ(parts.folders, whole.folders) << from;
            EXPECT_EQ(parts.lastStatus, whole.lastStatus) << from;
            if (began == std::string::npos) continue;
            ++split;
            // The line the link before runs on into is read in one part.
            EXPECT_NE(text.substr(began, 9), "<DT><A HR") << from;
        }
        // Streamed a batch at a time, each batch ending at the first item line from a place on:
        // the same file, its header made again for the later charset, title and heading.
        for (std::size_t batch = 1; batch <= text.size(); ++batch) {
            if (text[batch - 1] != '\n') continue;
            std::int32_t links = 0;
            EXPECT_EQ(Streamed(dir, path, batch, links), whole.written) << batch;
            EXPECT_EQ(links, whole.links) << batch;
        }
        EXPECT_GT(split, 15u);
    }
}

TEST(LineScannerTest, MixedLineEndsAndZeroBytesEndLinesAndCostNoByteOfTheNext) {
    const auto lines = [](std::string_view text) {
        std::vector<std::string> out;
        LineScanner scanner(text);
        for (std::string_view line; scanner.Next(line);) out.emplace_back(line);
        return out;
    };
    EXPECT_EQ(lines("<DL><p>\r\n<HR>\n</DL><p>\r}\r\n\nend"),
              (std::vector<std::string>{"<DL><p>", "<HR>", "</DL><p>", "}", "", "end"}));
    EXPECT_EQ(lines(std::string_view("ab\0cd\0\0", 7)), (std::vector<std::string>{"ab", "cd", ""}));
}

TEST(NetscapeLinkLineTest, EveryProcessorReadsALinkLineAlike) {
    // The line parser scans 32 bytes a step where the processor has AVX2, 16 elsewhere: both must
    // find each value's end, a line end inside it and the name's "</A>" at every offset.
    const auto read = [](const auto& parse, const std::string& body) {
        std::size_t lineEnd = 0;
        const std::unique_ptr<UrlEntry> link(parse(body, lineEnd));
        if (!link) return std::string("none");
        return link->url.str() + "|" + link->extraAttributes.str() + "|" + link->name.str() + "|" +
               std::to_string(lineEnd);
    };
    int links = 0;
    for (const std::size_t length : {0, 1, 15, 16, 17, 31, 32, 33, 47, 63, 64, 65, 95, 1500}) {
        const std::string value(length, 'v');
        const std::string lines[] = {
            "HREF=\"" + value + "\" ADD_DATE=\"1\">" + value + "</A>\r\nnext",
            "HREF=\"u\" ICON=\"" + value + "\">n</A>  \nnext",
            "HREF=\"" + value + "\">" + value + "</a>",  // the line's end not yet in text
            "HREF=\"" + value + "\">" + value + "</A>x\n",
        };
        for (std::string line : lines) {
            for (const char end : {'\n', '\r', '\0'}) {
                for (const std::size_t at : {std::size_t{6}, 6 + length / 2, 6 + length, line.size() - 6}) {
                    std::string broken = line;
                    if (at < broken.size()) broken[at] = end;  // a line end inside a value or the name
                    const std::string expected = read(netscape::ParsePlainLinkLineBaseline, broken);
                    EXPECT_EQ(read(netscape::ParsePlainLinkLine, broken), expected) << broken;
                    links += expected != "none";
                }
            }
            EXPECT_EQ(read(netscape::ParsePlainLinkLine, line), read(netscape::ParsePlainLinkLineBaseline, line));
        }
    }
    EXPECT_GT(links, 50);
}

// ---------------------------------------------------------------------------------------
// Writing

TEST_F(NetscapeTest, WritesHeaderEntriesAndClosingListByteForByte) {
    set.title = "Ann";
    set.Append(new UrlEntry(UrlEntryKind::FolderStart, "Work & Play"));
    UrlEntry* link = AddLink("Home", "http://h/");
    link->extraAttributes = " ADD_DATE=\"1\" LAST_VISIT=\"2\"";
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    set.Append(new UrlEntry(UrlEntryKind::Separator, {}));
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    EXPECT_EQ(Written(), kHeaderAnn +
                             "<DT><H3>Work & Play</H3>\r\n<DL><p>\r\n"
                             "<DT><A HREF=\"http://h/\"  ADD_DATE=\"1\" LAST_VISIT=\"2\">Home</A>\r\n"
                             "</DL><p>\r\n<HR>\r\n</DL><p>\r\n");
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(NetscapeTest, LineBreaksInsideFieldsCannotCutItemsOrForgeTags) {
    set.title = "A\nB";
    set.Append(new UrlEntry(UrlEntryKind::FolderStart, "b\r\nc"));
    AddLink("a\n</DL><p>", "http://u/\rx")->extraAttributes = std::string(" X=\"1\0\"", 7);
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    std::string bytes = Written();
    storage.Close();
    ASSERT_EQ(ReadText(bytes), 1);
    EXPECT_EQ(Outline(set), (std::vector<std::string>{
                                "F \\b  c", "L \\b  c | a </DL><p> | http://u/ x | X=\"1 \" |  | ", "E ", "E "}));
    EXPECT_NE(bytes.find("<H1>A B's Bookmarks</H1>"), std::string::npos);

    // A link read from a file (its text borrowed from it) renamed to a name with a break.
    set.Rewind();
    UrlEntry* link = set.Next();
    while (link->kind != UrlEntryKind::Link) link = set.Next();
    link->Rename("x\ny", NameTranslated);
    link->preservedLocation = "\\b\r";
    EXPECT_NE(Written().find(
                  "<DT><A HREF=\"http://u/ x\" PRE_VFY_NAME=\"a </DL><p>\" PRE_VFY_LOC=\"\\b \"  X=\"1 \">x y</A>\r\n"),
              std::string::npos);

    // The same with a URL longer than a write block, which goes to the file on its own.
    storage.Close();
    const std::string url = "http://u/" + std::string(600000, 'a');
    ASSERT_EQ(ReadText("<DT><A HREF=\"" + url + "\">a</A>\n<HR>\n"), 1);
    set.Rewind();
    for (link = set.Next(); link->kind != UrlEntryKind::Link;) link = set.Next();
    link->Rename("x\ny", NameTranslated);
    EXPECT_NE(Written().find("<DT><A HREF=\"" + url + "\" PRE_VFY_NAME=\"a\">x y</A>\r\n<HR>\r\n"), std::string::npos);
    storage.Close();
    ASSERT_EQ(ReadText("<DT><H3>" + url + "</H3>\n<DL><p>\n</DL><p>\n"), 1);
    set.root.next->extraAttributes = "X=\"1\n\"";
    EXPECT_NE(Written().find("<DT><H3 X=\"1 \">" + url + "</H3>\r\n"), std::string::npos);
}

TEST_F(NetscapeTest, ClosesTheHeaderListOnlyWhenTheSetDoesNot) {
    set.title = "Ann";
    set.Append(new UrlEntry(UrlEntryKind::FolderStart, "A"));
    set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    EXPECT_EQ(Written(), kHeaderAnn + "<DT><H3>A</H3>\r\n<DL><p>\r\n</DL><p>\r\n</DL><p>\r\n");
    set.Clear();
    EXPECT_EQ(Written(), kHeaderAnn + "</DL><p>\r\n");
}

struct AttributeCase {
    int flags;
    const char* preservedName;
    const char* preservedLocation;
    const char* expected;
};

TEST_F(NetscapeTest, PreservedAttributesFollowFlagsAndLocation) {
    const std::vector<AttributeCase> cases = {
        {LocationPreserved, "", "\\Unverified\\Page not found", ""},
        {LocationPreserved, "", "\\Work", " PRE_VFY_LOC=\"\\Work\""},
        {NamePreserved | ChangedByVerification, "Old", "", " PRE_VFY_NAME=\"Old\" PRE_VFY_LOC=\"\""},
        {ChangedByVerification, "Old", "\\Unverifiedness", " PRE_VFY_NAME=\"Old\""},
        {0, "Old", "", ""},
        // A known origin outside "Unverified" is kept even when the flags do not ask for it.
        {0, "Old", "\\Work\\Tools", " PRE_VFY_LOC=\"\\Work\\Tools\""},
        {0, "", "\\Unverified\\Timed out", ""},
    };
    for (const AttributeCase& c : cases) {
        set.Clear();
        UrlEntry* link = AddLink("N", "u", c.flags);
        link->preservedName = c.preservedName;
        link->preservedLocation = c.preservedLocation;
        set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
        std::string bytes = Written();
        EXPECT_EQ(bytes.substr(bytes.find("<DT>")),
                  std::string("<DT><A HREF=\"u\"") + c.expected + ">N</A>\r\n</DL><p>\r\n")
            << c.flags << " " << c.preservedLocation;
    }
}

TEST_F(NetscapeTest, ASetKeepsWhatItReadWhenItsFileIsRewrittenOrCutShortMeanwhile) {
    const std::string source = dir.File("source.html");
    WriteFile(source, "<DT><A HREF=\"http://a/\" ADD_DATE=\"1\">Alpha</A>\n");
    ASSERT_EQ(ReadSet(storage, UrlSetFormat::Netscape, source), 1);
    WriteFile(source, "<DT><A HREF=\"http://b/\" ADD_DATE=\"2\">Gamma</A>\n");
    ASSERT_EQ(::truncate(source.c_str(), 0), 0);
    EXPECT_EQ(WriteSet(storage, UrlSetFormat::Netscape, dir.File("copy.html")), 1);
    EXPECT_NE(ReadFile(dir.File("copy.html")).find("<DT><A HREF=\"http://a/\"  ADD_DATE=\"1\">Alpha</A>"),
              std::string::npos);
}

TEST_F(NetscapeTest, WriteFailureIsShownOnceAndReported) {
    struct FaultCase {
        int goodWrites;
        int links;
        int separators;
        bool closed;
        const char* message;
    };
    // The header goes out alone, then the lines in 1 MiB blocks: a failure after the header is
    // in the lines; enough separators to fill one block exactly leave the footer alone in the last.
    const int fillingSeparators = static_cast<int>((1024 * 1024 + 5) / 6);
    const std::vector<FaultCase> cases = {{0, 3, 0, true, "Error 28 writing Netscape header"},
                                          {0, 20000, 0, true, "Error 28 writing Netscape header"},
                                          {1, 20000, 0, true, "Error 28 writing Netscape line"},
                                          {2, 0, fillingSeparators, false, "Error 28 writing Netscape footer"}};
    for (const FaultCase& c : cases) {
        UrlSet faulty;
        SetStorage faultyStorage{faulty};
        RecordingPrompter shown;
        faulty.SetPrompter(&shown);
        faulty.title = "Ann";
        auto faults = std::make_shared<FileFaults>(FileFaults{.goodReads = 1000, .goodWrites = c.goodWrites});
        faultyStorage.SetFileFactory(FailingFiles(faults));
        for (int i = 0; i < c.links; ++i) {
            faulty.Append(new UrlEntry(UrlEntryKind::Link, "Link number " + std::to_string(i),
                                       "http://example.com/" + std::to_string(i)));
        }
        for (int i = 0; i < c.separators; ++i) faulty.Append(new UrlEntry(UrlEntryKind::Separator, {}));
        if (c.closed) faulty.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
        ASSERT_EQ(faultyStorage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::Netscape,
                                     dir.File("full" + std::to_string(++files) + ".html")),
                  1);
        faults->writes = 0;
        EXPECT_EQ(faultyStorage.Write(), 0);
        faultyStorage.CloseFile();
        ASSERT_EQ(shown.shown.size(), 1u) << c.message;
        EXPECT_EQ(shown.shown[0].text, c.message);
        EXPECT_EQ(shown.shown[0].caption, "Tolva");
        // The writer stops at the first failure rather than trying every remaining line.
        EXPECT_EQ(faults->writes, c.goodWrites + 1) << c.message;
    }
}

TEST_F(NetscapeTest, ReadErrorIsNotTakenForTheEndOfTheFile) {
    WriteFile(dir.File("cut.html"), "<DL><p>\n<DT><A HREF=\"u\">x</A>\n</DL><p>\n");
    // The first read gets the whole file; the read that would find its end fails.
    storage.SetFileFactory(FailingFiles({.goodReads = 1, .goodWrites = 0}));
    ASSERT_EQ(storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::Netscape, dir.File("cut.html")), 1);
    EXPECT_EQ(storage.Read(nullptr), 0);
}

// ---------------------------------------------------------------------------------------
// Browser exports (their round trips are among every format's)

// The outline of the set in the file at path, which must read.
void ReadOutline(const std::string& path, std::vector<std::string>* outline) {
    UrlSet set;
    ASSERT_EQ(ReadSet(set, UrlSetFormat::Netscape, path), 1) << path;
    *outline = Outline(set);
}

struct FixtureCase {
    const char* file;
    int links;
    int folders;
    int separators;
    // One link that must come through whole: its line in the outline.
    std::string probe;
};

TEST(NetscapeFixtureTest, BrowserExportsReadWhole) {
    const std::string chromeIconStart = "ICON=\"data:image/png;base64,";
    const std::vector<FixtureCase> cases = {
        {"netscape4_crlf.html", 4, 3, 1,
         "L \\Personal Toolbar Folder\\Search |  | http://find.example.net/cgi-bin/query?what=news&amp;kl=en | "
         "ADD_DATE=\"913064305\" LAST_VISIT=\"0\" LAST_MODIFIED=\"0\" |  | "},
        {"firefox_dl_without_p.html", 5, 3, 1,
         "L \\Bookmarks Toolbar\\Dev &lt;tools&gt; | Programming in Lua (日本語) | https://lua.example/pil/ | "
         "ADD_DATE=\"1463686379\" |  | "},
        {"chrome_long_icon_line.html", 4, 2, 0, "L  | Plain | https://plain.example/ | ADD_DATE=\"1466009415\" |  | "},
        {"edge_crlf_bom_nested.html", 3, 3, 0,
         "L \\Favorites bar\\Work\\Reports &amp; Plans | Q3 &quot;final&quot; report | "
         "https://intranet.example/q?a=1&amp;b=2 | ADD_DATE=\"1600000003\" |  | "},
        {"safari_tabs_no_outer_list.html", 3, 3, 0, "L \\Travel | Trains | https://trains.example/ | |  | "},
        {"mixed_line_ends.html", 2, 1, 1, "L \\Folder one | One | https://one.example/ | |  | "},
        {"lf_then_crlf.html", 1, 1, 1, "L \\Later CRLF | Three | https://three.example/ | |  | "},
        {"hr_and_link_on_one_line.html", 3, 1, 4,
         "L \\After a separator | Third line one | https://third.example/ | |  | "},
        {"icab_dl_without_p.html", 3, 2, 0, "L  | Top | https://top.example/ | ADD_DATE=\"1000000004\" |  | "},
    };
    for (const FixtureCase& c : cases) {
        std::vector<std::string> outline;
        ReadOutline(FixturePath(std::string("netscape/") + c.file), &outline);
        int links = 0, folders = 0, separators = 0, ends = 0;
        for (const std::string& line : outline) {
            links += line[0] == 'L';
            folders += line[0] == 'F';
            separators += line[0] == 'S';
            ends += line[0] == 'E';
        }
        EXPECT_EQ(links, c.links) << c.file;
        EXPECT_EQ(folders, c.folders) << c.file;
        EXPECT_EQ(separators, c.separators) << c.file;
        EXPECT_EQ(ends, c.folders + 1) << c.file;
        EXPECT_NE(std::find(outline.begin(), outline.end(), c.probe), outline.end()) << c.file << "\n" << c.probe;
    }
}

// Real exports of many programs, kept outside the repository. Every link and folder heading
// a line starts with must be read (and so come through the round trips every format has).
TEST(NetscapeCorpusTest, EveryLinkAndFolderIsRead) {
    const std::filesystem::path folder = testing::CorpusPath("netscape");
    if (!std::filesystem::is_directory(folder)) GTEST_SKIP() << "no corpus at " << folder;
    int files = 0;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        const std::string path = item.path().string();
        const std::string name = item.path().filename().string();
        const std::string bytes = ReadFile(path);
        // An empty file, or an export of another kind under the same extension, is no set.
        if (!testing::StartsAsBookmarkFile(path)) {
            UrlSet set;
            EXPECT_NE(ReadSet(set, UrlSetFormat::Netscape, path), 1) << name;  // refused, never a set
            continue;
        }
        ++files;
        // Links and folders as a person counts them: the tags at the start of a line, or
        // after a separator on the same line; and the quoted HREF of each link line.
        int expectedFolders = 0;
        std::vector<std::string> expectedUrls;
        for (std::size_t start = 0; start < bytes.size();) {
            std::size_t end = std::min(bytes.find_first_of("\r\n", start), bytes.size());
            std::string_view line = TrimLeadingWhite(std::string_view(bytes).substr(start, end - start));
            while (StartsWith(line, "<HR>") && line.size() > 4 && TrimLeadingWhite(line.substr(4)) != line.substr(4))
                line = TrimLeadingWhite(line.substr(4));
            expectedFolders += StartsWith(line, "<DT><H3");
            if (StartsWith(line, "<DT><A ")) {
                std::size_t href = line.find(" HREF=\"");
                std::string_view url = href == std::string_view::npos ? std::string_view() : line.substr(href + 7);
                expectedUrls.emplace_back(url.substr(0, url.find('"')));
            }
            start = end + 1;
        }
        std::vector<std::string> outline;
        ReadOutline(path, &outline);
        EXPECT_EQ(std::count_if(outline.begin(), outline.end(), [](auto& l) { return l[0] == 'F'; }), expectedFolders)
            << name;

        UrlSet set;
        ASSERT_EQ(ReadSet(set, UrlSetFormat::Netscape, path), 1) << name;
        std::vector<std::string> urls;
        for (UrlEntry* entry = set.root.next; entry; entry = entry->next) {
            if (entry->kind == UrlEntryKind::Link) urls.push_back(entry->url.str());
        }
        ASSERT_EQ(urls.size(), expectedUrls.size()) << name;
        for (std::size_t i = 0; i < urls.size(); ++i) {
            // A value ends at a quote followed by a space, and a link at its first "</A>", so
            // in a malformed line more or less may arrive; but an HREF is never lost.
            const bool prefix = StartsWith(expectedUrls[i], urls[i]) || StartsWith(urls[i], expectedUrls[i]);
            EXPECT_TRUE(prefix && urls[i].empty() == expectedUrls[i].empty())
                << name << ": " << urls[i] << " from " << expectedUrls[i];
        }
    }
    EXPECT_GT(files, 0);
}

}  // namespace
}  // namespace tolva
