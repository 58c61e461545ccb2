#include "formats/format_guess.h"

#include <gtest/gtest.h>

#include <string>

#include "support/temp_dir.h"

namespace tolva {
namespace {

// A signature at a file's start outweighs a tag that another format's files hold: a hotlist
// or a bookmark file that quotes such a tag in a name keeps its own format.
TEST(FormatGuessTest, FirstBytesPreferASignatureToATagFurtherIn) {
    struct Row {
        std::string bytes;
        UrlSetFormat format;
    };
    const Row rows[] = {
        {"ncsa-xmosaic-hotlist-format-1\nDefault\nhttp://a/ <DT><A HREF=x>\nA\n", UrlSetFormat::Mosaic},
        {"<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DT><A HREF=\"http://a/\">&lt;xbel</A>\n<xbel", UrlSetFormat::Netscape},
        {"\xEF\xBB\xBF  <DL><p><DT><H3>Old</H3>", UrlSetFormat::Netscape},
        {"<?xml version=\"1.0\"?>\n<xbel><bookmark href=\"http://a/\"><title><DT><A </title>", UrlSetFormat::Xbel},
        {"{\"roots\": {}}", UrlSetFormat::Chromium},
        {std::string("SQLite format 3\0", 16), UrlSetFormat::Firefox},
        {std::string("mozLz40\0\x10\0\0\0", 12), UrlSetFormat::FirefoxBackup},
        {"{\"guid\":\"root________\",\"title\":\"\"", UrlSetFormat::FirefoxBackup},
        {"<!DOCTYPE html>\n<ul><li><a href=\"http://a/\">A</a></li></ul>", UrlSetFormat::LinkPage},
        {"<html><body><DL><p><DT><A HREF=\"http://a/\">A</A></DL>", UrlSetFormat::Netscape},
        {"<!doctype netscape-bookmark-file-1><p><a href=\"http://a/\">A</a>", UrlSetFormat::Netscape},
        {"plain words", UrlSetFormat::None},
    };
    for (const Row& row : rows) EXPECT_EQ(FormatOfFirstBytes(row.bytes), row.format) << row.bytes;
}

// ".json" names a Firefox backup, unless the file shows another format's signature instead.
TEST(FormatGuessTest, AJsonFileIsABackupUnlessItsBytesSayOtherwise) {
    testing::TempDir dir;
    testing::WriteFile(dir.File("a.json"), "{\"roots\": {}}");
    testing::WriteFile(dir.File("b.json"), "{\"guid\":\"root________\"}");
    testing::WriteFile(dir.File("c.jsonlz4"), "");
    EXPECT_EQ(GuessSourceFormat(dir.File("a.json")).format, UrlSetFormat::Chromium);
    EXPECT_EQ(GuessSourceFormat(dir.File("b.json")).format, UrlSetFormat::FirefoxBackup);
    EXPECT_EQ(GuessSourceFormat(dir.File("c.jsonlz4")).format, UrlSetFormat::FirefoxBackup);
    EXPECT_EQ(GuessDestinationFormat(dir.File("new.JSONLZ4")).format, UrlSetFormat::FirefoxBackup);
}

}  // namespace
}  // namespace tolva
