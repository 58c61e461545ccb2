#include "resources/strings.h"

// The desktop program's own texts beyond the first pages, and the few texts of the runs that
// they show (why a link was not tested).

namespace tolva {

namespace {

constexpr StringEntry kDesktopStrings[] = {
    {IDS_UI_DESTINATION_FORMAT_LABEL, "Fo&rmat:"},
    {IDS_UI_DESTINATION_LOCATION_LABEL, "Locat&ion:"},
    {IDS_UI_BROWSE_DESTINATION, "Bro&wse..."},
    {IDS_UI_VERIFY_SHOW_RESULTS, "Show re&sults..."},

    {IDS_UI_TIP_SOURCE_FORMAT,
     "The format of the set to translate.  It follows the file you browse to, drop or type when the file's name "
     "or first bytes say which format it is in."},
    {IDS_UI_TIP_DESTINATION_FORMAT,
     "The format to build the new set in.  Only formats that can be written are listed; a name typed with a known "
     "extension chooses its format."},
    {IDS_UI_TIP_FIX_AMPERSANDS,
     "Shortcut menus show \"&&\" as one ampersand: names going into shortcut files get their ampersands doubled, "
     "names coming out of them get them made single again."},
    {IDS_UI_TIP_PRESERVE_NAME,
     "Shortcut files keep the name an entry had before it was made safe as a file name, so translating them back "
     "gives that name back."},
    {IDS_UI_TIP_NETSCAPE_TO_EXPLORER,
     "Fill in the form to translate Netscape's bookmark file into the Favorites folder.  The toolbar folder becomes "
     "Links, the Favorites Bar; order, separators, tags, keywords, dates, icons and descriptions are kept in the "
     "shortcut files and desktop.ini, for the way back."},
    {IDS_UI_TIP_EXPLORER_TO_NETSCAPE,
     "Fill in the form to translate the Favorites folder into Netscape's bookmark file.  Links becomes the toolbar "
     "folder, and what the way there kept comes back; shortcuts added since follow by name.  A shortcut's time and "
     "icon go along and come back; its hot key stays behind."},
    {IDS_UI_TIP_VERIFY_FORMAT,
     "The format of the set to verify.  Only formats that can be saved back where they were read are listed."},
    {IDS_UI_TIP_INTERACTIVE,
     "Stop at each link that does not work, to correct its URL and test it again, or to let it be moved."},
    {IDS_UI_TIP_RENAME, "Leave links that do not work in their folders, with the error in front of their names."},
    {IDS_UI_TIP_CONFIRM,
     "Test each failing link once more after all the others, so that a server busy for a moment does not cost its "
     "links their place."},
    {IDS_UI_TIP_RETRIES,
     "How many more times a connection that could not be made is tried before the link counts as not working."},
    {IDS_UI_TIP_LINKS_AT_ONCE,
     "How many links are tested at the same time.  More is faster on a large set; each server is still asked only "
     "a few at once."},
    {IDS_UI_TIP_SHOW_RESULTS, "Show what the last verification did with each link."},
    {IDS_UI_TIP_UPDATE_MOVED,
     "Give a link whose site says it has moved for good the new address, keeping the old one with it.  Never to a "
     "site's front page, a log-in page or from https to http."},
    {IDS_UI_TIP_KEEP_BACKUP,
     "Before a changed bookmark file, hotlist or XBEL file is saved, keep the file as it was beside it, with .bak "
     "added to its name."},

    {IDS_UI_RESULTS_TITLE, "Verification results"},
    {IDS_UI_RESULTS_SHOW, "Sho&w:"},
    {IDS_UI_RESULTS_ALL, "All outcomes"},
    {IDS_UI_RESULTS_FIND, "&Find:"},
    {IDS_UI_RESULTS_FIND_HINT, "Part of a folder, name, URL or error"},
    {IDS_UI_RESULTS_NOTHING, "Every link tested works and was left as it was: there is nothing else to list."},
    {IDS_UI_RESULTS_HINT, "Double-click a link to open it in your web browser."},
    {IDS_UI_RESULTS_SAVE, "&Save report..."},
    {IDS_UI_RESULTS_CLOSE, "&Close"},
    {IDS_UI_RESULTS_FOLDER, "Folder"},
    {IDS_UI_RESULTS_NAME, "Name"},
    {IDS_UI_RESULTS_URL, "URL"},
    {IDS_UI_RESULTS_OUTCOME, "Outcome"},
    {IDS_UI_RESULTS_ERROR, "Error or reason"},
    {IDS_UI_RESULTS_FINAL_URL, "Final URL"},
    {IDS_UI_PICK_REPORT_TITLE, "Save the verification report"},
    {IDS_UI_PICK_SOURCE_TITLE, "Choose the set to translate"},
    {IDS_UI_PICK_DESTINATION_TITLE, "Choose the destination"},
    {IDS_UI_PICK_VERIFY_TITLE, "Choose the set to verify"},
    {IDS_UI_FILTER_REPORT_JSON, "JSON report (*.json)"},
    {IDS_UI_FILTER_REPORT_CSV, "CSV report (*.csv)"},
    {IDS_VERIFY_END_REPORT, "Nothing was verified: the report cannot be written there."},
    {IDS_VERIFY_END_NO_REQUESTS, "Nothing was verified: the link requests could not be started."},
    {IDS_UI_VERIFY_ONLY_UNVERIFIED, "Test o&nly the links in Unverified"},
    {IDS_UI_VERIFY_SKIP, "Skip links an&d folders:"},
    {IDS_UI_TIP_ONLY_UNVERIFIED,
     "Test only the links a verification set aside: those in the Unverified folder and those renamed in place. "
     "No other link is asked for or changed."},
    {IDS_UI_TIP_SKIP,
     "Links never asked for, which stay where and as they are: URL patterns such as *.pdf or "
     "*://old.example.com/* (* matches any text, ? one character), separated by spaces, and folder paths such as "
     "\\Work\\Old (everything inside them). Separate a folder path from what follows with \";\"."},
    {IDS_UI_VERIFY_SUGGEST_ARCHIVE, "Look for an &archived copy of dead links"},
    {IDS_UI_TIP_SUGGEST_ARCHIVE,
     "For a link whose page is gone (404, 410) or whose host no longer answers, ask the web archive once for its "
     "copy nearest the day the link was added. The copy is listed in the results and proposed when repairing."},
    {IDS_UI_RESULTS_ARCHIVED_URL, "Archived copy"},
    {IDS_UI_REPAIR_ARCHIVED_URL, "Archived copy:"},
    {IDS_SKIPPED_REASON, "not tested: not an http, https or ftp link"},
    {IDS_SKIPPED_FOLDER_REASON, "not tested: in a folder left out"},
    {IDS_SKIPPED_PATTERN_REASON, "not tested: its URL matches a pattern left out"},
    {IDS_SKIPPED_NOT_SET_ASIDE_REASON, "not tested: neither in Unverified nor renamed in place"},
    {IDS_SUMMARY_SKIPPED_AS_ASKED, "%d skipped as asked."},
    {IDS_NOTE_NO_SKIPPED_FOLDER, "no folder %s in %s: nothing is left out for it."},
};

}  // namespace

std::span<const StringEntry> DesktopStrings() { return kDesktopStrings; }

}  // namespace tolva
