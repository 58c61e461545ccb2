#include "resources/strings.h"

namespace tolva {

namespace {

constexpr StringEntry kMergeStrings[] = {
    {IDS_MERGE_NO_SOURCES, "You have not chosen a URL set to merge.  Add at least one set, then proceed."},
    {IDS_MERGE_SOURCE_FORMAT_UNKNOWN, "Tolva cannot tell the format of %s.  Choose its format, then proceed."},
    {IDS_MERGE_UNABLE_TO_OPEN_SOURCE, "Merge was unable to open the URL set %s.  Nothing was written."},
    {IDS_MERGE_UNABLE_TO_READ_SOURCE, "Merge was unable to read the URL set %s.  Nothing was written."},
    {IDS_MERGE_UNABLE_TO_OPEN_DESTINATION, "Merge was unable to open the destination URL set."},
    {IDS_MERGE_UNABLE_TO_SAVE_DESTINATION, "Merge was unable to save the destination URL set."},
    {IDS_MERGE_NOW_READING, "Now reading URL set %d of %d."},
    {IDS_MERGE_NOW_MERGING, "Now merging URL set %d of %d."},
    {IDS_MERGE_ONE_SET, "1 set merged"},
    {IDS_MERGE_SETS, "%s sets merged"},
    {IDS_MERGE_COUNTS_KEEP, "%s: %s links in %s folders; %s duplicates merged, %s kept in other folders"},
    {IDS_MERGE_COUNTS_FIRST, "%s: %s links in %s folders; %s duplicates merged, %s left out of other folders"},
    {IDS_MERGE_CANCELED, "Merge canceled.  Nothing was changed."},
    {IDS_MERGE_STOPPED, "Merge stopped.  Nothing was changed."},
    {IDS_MERGE_STOPPED_PART,
     "Merge stopped.  The destination folder holds what was written before the stop; every file in it is whole."},
    {IDS_MSG_MERGE_REPORT_OVER_SET,
     "Merge will not write the report %s: it would replace a URL set of the merge.  Choose another file."},
    {IDS_MSG_MERGE_UNABLE_TO_REPORT, "The sets were merged, but Merge was unable to write the report %s (error %d)."},

    {IDS_RECENT_MERGE_BASE + 0, "Software\\Hollin\\Tolva\\Merge\\RecentMosaic"},
    {IDS_RECENT_MERGE_BASE + 1, "Software\\Hollin\\Tolva\\Merge\\RecentNetNav"},
    {IDS_RECENT_MERGE_BASE + 2, "Software\\Hollin\\Tolva\\Merge\\RecentFavorites"},
    {IDS_RECENT_MERGE_BASE + 3, "Software\\Hollin\\Tolva\\Merge\\RecentXbel"},
    {IDS_RECENT_MERGE_BASE + 4, "Software\\Hollin\\Tolva\\Merge\\RecentChromium"},
    {IDS_RECENT_MERGE_BASE + 5, "Software\\Hollin\\Tolva\\Merge\\RecentFirefox"},
    {IDS_RECENT_MERGE_BASE + 6, "Software\\Hollin\\Tolva\\Merge\\RecentFirefoxBackup"},
    {IDS_RECENT_MERGE_BASE + 7, "Software\\Hollin\\Tolva\\Merge\\RecentLinkPage"},

    {IDS_UI_TAB_MERGE, "Merge"},
    {IDS_UI_MERGE_INTRO,
     "Merge unites several URL sets into one: folders of the same path become one folder, the browsers' toolbars "
     "become one toolbar folder, and a link found twice in one folder is kept once, with its dates, tags and "
     "descriptions joined.  The sets you add are never changed."},
    {IDS_UI_MERGE_SOURCE_HEADING, "Which URL sets do you want to have merged?  The first one's order comes first."},
    {IDS_UI_MERGE_ADD, "&Add"},
    {IDS_UI_MERGE_SOURCES, "&Sets to merge, in order:"},
    {IDS_UI_MERGE_REMOVE, "Remo&ve"},
    {IDS_UI_MERGE_SELECTED_FORMAT, "Format of the selected so&urce:"},
    {IDS_UI_MERGE_DESTINATION_HEADING, "Where should the merged set go and in which format would you like it built?"},
    {IDS_UI_MERGE_MATCH, "Two links are one when their URLs are:"},
    {IDS_UI_MERGE_MATCH_EXACT, "E&qual"},
    {IDS_UI_MERGE_MATCH_LOOSE, "Ali&ke"},
    {IDS_UI_MERGE_DUPLICATES, "A link found in several folders:"},
    {IDS_UI_MERGE_KEEP, "Kee&p it in each folder"},
    {IDS_UI_MERGE_FIRST, "Keep it in the first folder o&nly"},
    {IDS_UI_MERGE_MERGE, "&Merge"},
    {IDS_UI_MERGE_FIX_AMPERSANDS, "Fi&x Ampersands (&&) when merging between Netscape and Explorer"},
    {IDS_UI_MERGE_PRESERVE_NAME, "Preserve Netscape name so that it is restored when &translated back"},
    {IDS_UI_MERGE_REPORT, "Report of the &duplicates:"},
    {IDS_UI_MERGE_BROWSE_REPORT, "Brows&e..."},
    {IDS_UI_PICK_MERGE_REPORT_TITLE, "Save the merge report"},
    {IDS_UI_MERGE_STATUS_START,
     "You have not yet merged any URL sets.  Add the sets above, fill in the destination, then click the Merge "
     "button to start."},
    {IDS_UI_MERGE_LOCATION_COLUMN, "Location"},
    {IDS_UI_MERGE_FORMAT_COLUMN, "Format"},
    {IDS_UI_MERGE_NO_FORMAT, "(choose its format)"},
    {IDS_UI_PICK_MERGE_TITLE, "Choose a set to merge"},
    {IDS_UI_TIP_MERGE_SOURCE_FORMAT,
     "The format of the next set to add.  It follows the file you browse to, drop or type when the file's name or "
     "first bytes say which format it is in."},
    {IDS_UI_TIP_MERGE_ADD,
     "Add the set in the Location box to the sets to merge; with the box empty, choose one first.  You can also "
     "drop files and folders on the list."},
    {IDS_UI_TIP_MERGE_SOURCES,
     "The sets to merge, in the order their folders and links are kept.  Drop files or folders here to add them."},
    {IDS_UI_TIP_MERGE_REMOVE, "Take the selected set out of the merge.  The set itself is left as it is."},
    {IDS_UI_TIP_MERGE_SELECTED_FORMAT, "The format the selected set is read in.  Change it when the guess is wrong."},
    {IDS_UI_TIP_MERGE_EXACT,
     "The same link only when the URLs are equal but for the letter case of the scheme and host, a default port and "
     "an empty path.  The URL kept is spelled as the first set spells it."},
    {IDS_UI_TIP_MERGE_LOOSE,
     "Also the same link when the URLs differ only in http against https, a leading www., a trailing /, the part "
     "after # or tracking parameters (utm_..., fbclid, gclid)."},
    {IDS_UI_TIP_MERGE_KEEP, "A link kept in several folders stays in each of them, once in each."},
    {IDS_UI_TIP_MERGE_FIRST, "A link kept in several folders stays only where the sets first have it."},
    {IDS_UI_TIP_MERGE_REPORT,
     "Write every group of links taken for one, with each one's set, folder, name and URL, to this file: JSON when "
     "its name ends in .json, CSV otherwise.  Leave it empty for no report."},
    {IDS_UI_TIP_MERGE_MERGE,
     "Merge the sets into the destination.  When the destination exists, you are asked first, and may keep a copy "
     "of it."},
};

}  // namespace

std::span<const StringEntry> MergeStrings() { return kMergeStrings; }

}  // namespace tolva
