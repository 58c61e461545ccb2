#include <gtest/gtest.h>

#include "formats/format_guess.h"
#include "model/url_set.h"
#include "support/outline.h"
#include "support/set_files.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

// A read-it-later export saved as .html is taken for a page of links by its content and read
// as the links it holds, wherever they stand, with their dates and tags under a bookmark
// file's names; anchors into the page and a link's inner markup are no bookmarks.
TEST(LinkPageTest, AnHtmlPageOfLinksIsReadAsAFlatListOfItsLinks) {
    testing::TempDir dir;
    const std::string page = dir.File("ril_export.html");
    testing::WriteFile(page,
                       "<!DOCTYPE html>\n<html><head><title>Export</title></head><body>\n<h1>Unread</h1>\n<ul>\n"
                       "<li><a href=\"https://a.example/x?p=1&amp;q=2\" time_added=\"1688628695\" "
                       "tags=\"news,later\">Tarn : des lapins</a></li>\n"
                       "<li><A class=\"big\"\n HREF='https://b.example/'><img src=\"i.png\"> <b>Bold</b>\n name</A></li>\n"
                       "</ul>\n<p>See <a href=\"#top\">the top</a> or <a name=\"x\">here</a>.</p>\n"
                       "<h1>Read Archive</h1><ul><li><a href=\"http://c.example/\">C</a></li></ul>\n</body></html>\n");
    ASSERT_EQ(GuessSourceFormat(page).format, UrlSetFormat::LinkPage);
    UrlSet set;
    ASSERT_EQ(testing::ReadSet(set, UrlSetFormat::LinkPage, page), 1);
    EXPECT_EQ(testing::Outline(set),
              (std::vector<std::string>{
                  "L  | Tarn : des lapins | https://a.example/x?p=1&amp;q=2 |ADD_DATE=\"1688628695\" "
                  "TAGS=\"news,later\" |  | ",
                  "L  | Bold name | https://b.example/ | |  | ",
                  "L  | C | http://c.example/ | |  | ",
                  "E ",
              }));
    EXPECT_EQ(set.linkCount, 3);
    EXPECT_EQ(set.folderCount, 0);
}

}  // namespace
}  // namespace tolva
