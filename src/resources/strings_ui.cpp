#include "resources/strings.h"

namespace tolva {

namespace {

constexpr StringEntry kUiStrings[] = {
    {IDS_NETSCAPE_BOOKMARK_KEY, "Software\\Netscape\\Netscape Navigator\\Bookmark List"},
    {IDS_SHELL_FOLDERS_KEY, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"},
    {IDS_NO_FAVORITES_FOUND, "No Favorites folder found.  Type a location here."},
    {IDS_SELECT_FORMAT_FIRST,
     "You have to select a file format before you can browse for the file.\nClick OK to close this box then choose "
     "a file format then click the Browse button again."},
    {IDS_ENTER_NO_MORE_THAN, "Please enter no more than %1 characters."},

    {IDS_UI_FORMAT_MOSAIC, "Mosaic (any flavor) bookmarks"},
    {IDS_UI_FORMAT_NETSCAPE, "Netscape Navigator bookmarks"},
    {IDS_UI_FORMAT_SHORTCUTS, "Windows Internet shortcuts"},
    {IDS_UI_TAB_TRANSLATE, "Translate"},
    {IDS_UI_TAB_VERIFY, "Verify"},
    {IDS_UI_TAB_ABOUT, "About"},
    {IDS_UI_CLOSE, "Close"},
    {IDS_UI_BROWSE, "&Browse..."},
    {IDS_UI_FORMAT_LABEL, "&Format:"},
    {IDS_UI_LOCATION_LABEL, "&Location:"},

    {IDS_UI_CONVERT_INTRO,
     "Fill in the form to identify the URL set to translate and the location and format for the new set.  Or use "
     "the Quick Buttons at the right for the most common conversions."},
    {IDS_UI_CONVERT_SOURCE_HEADING, "Which set of URLs to you want to have translated?"},
    {IDS_UI_CONVERT_DESTINATION_HEADING, "Where should the new URLs go and in which format would you like them built?"},
    {IDS_UI_CONVERT_OPTIONS, "Options"},
    {IDS_UI_CONVERT_FIX_AMPERSANDS, "Fix &Ampersands (&&) when translating between Netscape and Explorer"},
    {IDS_UI_CONVERT_PRESERVE_NAME, "&Preserve Netscape name so that it is restored when translated back"},
    {IDS_UI_CONVERT_STATUS_START,
     "You have not yet translated any URLs.  Fill in the formats and locations above then click the Translate "
     "button to start."},
    {IDS_UI_CONVERT_NETSCAPE_TO_EXPLORER, "&Netscape to Explorer"},
    {IDS_UI_CONVERT_EXPLORER_TO_NETSCAPE, "&Explorer to Netscape"},
    {IDS_UI_CONVERT_TRANSLATE, "&Translate"},
    {IDS_UI_CONVERT_PROGRESS, "Progress:"},

    {IDS_UI_VERIFY_INTRO,
     "Identify which URL set you want Tolva to verify.  Each link will be tested. If it still works, nothing will "
     "happen to it.  If it doesn't work Tolva will move it to the \"Unverified\" folder or rename it to show which "
     "error was encountered."},
    {IDS_UI_VERIFY_HEADING, "What URL set do you want to verify?"},
    {IDS_UI_VERIFY_STATUS_START,
     "No URL sets have been verified yet.  Fill in the format and location above then click the Verify button at "
     "the right to start."},
    {IDS_UI_VERIFY_BAD_LINK_OPTIONS, "Bad link options:"},
    {IDS_UI_VERIFY_INTERACTIVE, "Interactively &repair bad links as they are found"},
    {IDS_UI_VERIFY_RENAME, "Rename bad links in &place instead of moving them to the \"Unverified\" folder"},
    {IDS_UI_VERIFY_CONNECTION_OPTIONS, "Connection options:"},
    {IDS_UI_VERIFY_TIMEOUT, "Ti&mout:"},
    {IDS_UI_VERIFY_RETRIES, "Retr&ies:"},
    {IDS_UI_VERIFY_SECONDS, "%d seconds"},
    {IDS_UI_VERIFY_TIMES, "%d times"},
    {IDS_UI_VERIFY_VERIFY, "&Verify"},
    {IDS_UI_VERIFY_TIMEOUT_HELP,
     "Time allowed to connect to a server (0: the network library's own default).  Each request is given up after "
     "three times the time-out in all (five minutes at 0), here %d seconds, and then fails with \"Connection timed "
     "out\"."},
    {IDS_UI_VERIFY_LINKS_AT_ONCE, "Links tested at onc&e:"},
    {IDS_UI_VERIFY_CONFIRM, "&Try failing links once more before moving them"},
    {IDS_UI_VERIFY_KEEP_BACKUP, "&Keep a copy of the set as it was"},
    {IDS_UI_VERIFY_UPDATE_MOVED, "&Update links that have moved permanently"},

    {IDS_UI_ABOUT_VERSION, "Tolva 2.0.01\nMarch 11, 1997"},
    {IDS_UI_ABOUT_NOTICE,
     "Free to use and to share.  Tolva comes with no warranty: keep a copy of a URL set before you translate or "
     "verify it."},
    {IDS_UI_ABOUT_DESCRIPTION,
     "Tolva translates URL sets between formats to make using multiple browsers easier.  It can also separate "
     "working and non-working links in a URL set."},
    {IDS_UI_ABOUT_HOME, "Home Page"},
    {IDS_UI_ABOUT_HOME_TEXT, "For more information on Tolva, visit the home page."},
    {IDS_UI_ABOUT_COMMUNICATIONS, "Communications"},
    {IDS_UI_ABOUT_COMMUNICATIONS_TEXT, "Send suggestions, bug reports and comments, too."},
    {IDS_UI_ABOUT_DEDICATION, "Dedication"},
    {IDS_UI_ABOUT_DEDICATION_TEXT,
     "Dedicated to everyone who keeps links in more than one browser and wants them all."},

    // The file dialog takes its patterns from the last parentheses and shows only the text before them.
    {IDS_UI_FILTER_BOOKMARK_AND_HOTLIST, "Bookmark and hotlist (*.htm, *.hot) (*.htm* *.hot)"},
    {IDS_UI_FILTER_HTML, "HyperText Markup Language (*.htm*) (*.htm*)"},
    {IDS_UI_FILTER_HOTLIST, "Mosaic Hotlist (*.hot) (*.hot)"},
    {IDS_UI_FILTER_ALL, "All files (*.*) (*)"},

    {IDS_UI_PROGRESS_TITLE, "Verification progress"},
    {IDS_UI_PROGRESS_OK, "OK"},
    {IDS_UI_PROGRESS_CANCEL, "Cancel"},
    {IDS_UI_PROGRESS_CURRENTLY, "Currently testing"},
    {IDS_UI_PROGRESS_LAST_ERROR, "Last error reported"},
    {IDS_UI_PROGRESS_NAME, "Name:"},
    {IDS_UI_PROGRESS_URL, "URL:"},
    {IDS_UI_PROGRESS_ERROR, "Error:"},
    {IDS_UI_PROGRESS_STATUS, "Status:"},
    {IDS_UI_PROGRESS_TESTING, "Testing item 1 of 1."},
    {IDS_UI_PROGRESS_HINT,
     "Click OK to stop verification and save partial results or Cancel to stop and ignore the results."},
    {IDS_UI_PROGRESS_DOT, "."},

    {IDS_UI_REPAIR_TITLE, "Interactive URL Repair"},
    {IDS_UI_REPAIR_OK, "Repair or Ignore"},
    {IDS_UI_REPAIR_CANCEL, "Reject and Move"},
    {IDS_UI_REPAIR_HINT,
     "If you wish, you may edit the URL and have Tolva try again or reject this link an have Tolva move it to the "
     "Unverified folder."},
    {IDS_UI_REPAIR_GROUP, "This link is not working"},
    {IDS_UI_REPAIR_NEW_URL, "New URL:"},

    {IDS_UI_COOKIE_TITLE, "Internet Cookie Warning"},
    {IDS_UI_COOKIE_PROMPT, "Prompt me each time a cookie is received."},
    {IDS_UI_COOKIE_DURING, "Accept cookies received only during Verification."},
    {IDS_UI_COOKIE_ALWAYS, "Accept all cookies from now on."},
    {IDS_UI_COOKIE_TEXT,
     "Your internet settings do not allow internet \"cookies\" to be processed automatically.  If this happens "
     "while Tolva is verifying your URL set, you will be prompted to accept or reject the cookie.  This prompting "
     "makes unattended verification impossible."},
    {IDS_UI_COOKIE_GROUP, "How do you want to handle cookies?"},

    {IDS_UI_SETTINGS_UNREADABLE,
     "Tolva cannot read its settings file\n%s\nRecently used locations will not be remembered until that file is "
     "mended or removed."},
};

}  // namespace

std::span<const StringEntry> UiStrings() { return kUiStrings; }

}  // namespace tolva
