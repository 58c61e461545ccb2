#pragma once
// The string table: every text the person sees, under its fixed numeric id, exactly as the
// program has always shown it (double spaces, line breaks and misspellings included).
// The table is kept in several files by area; LoadString looks in all of them.

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tolva {

struct StringEntry {
    int id;
    const char* text;
};

// Captions and form messages.
inline constexpr int IDS_NETSCAPE_HEADER = 59142;
inline constexpr int IDS_CAPTION = 59149;  // "Tolva " and the version
inline constexpr int IDS_UNVERIFIED = 59150;
inline constexpr int IDS_MOSAIC_HEADER = 59151;
inline constexpr int IDS_ASK_BACKUP = 59157;
inline constexpr int IDS_NO_SOURCE = 59159;
inline constexpr int IDS_NO_DESTINATION = 59160;
inline constexpr int IDS_SET_NOT_FOUND = 59161;
inline constexpr int IDS_SET_EXISTS = 59162;
inline constexpr int IDS_ASK_CREATE_FOLDER = 59163;
inline constexpr int IDS_ASK_USE_FOLDER = 59164;

// Recent-location keys: page base plus the format code.
inline constexpr int IDS_RECENT_TRANSLATE_BASE = 40101;
inline constexpr int IDS_RECENT_VERIFY_BASE = 40126;
inline constexpr int IDS_RECENT_MERGE_BASE = 40151;

// Desktop program: default locations, Browse and the form's refusal.
inline constexpr int IDS_NETSCAPE_BOOKMARK_KEY = 59153;
inline constexpr int IDS_SHELL_FOLDERS_KEY = 59154;
inline constexpr int IDS_NO_FAVORITES_FOUND = 59155;
inline constexpr int IDS_SELECT_FORMAT_FIRST = 59158;
inline constexpr int IDS_ENTER_NO_MORE_THAN = 61716;  // "%1" is the limit

// Desktop program texts that had no id of their own (62000-62499).
inline constexpr int IDS_UI_FORMAT_MOSAIC = 62000;  // the format boxes' entries, in code order
inline constexpr int IDS_UI_FORMAT_NETSCAPE = 62001;
inline constexpr int IDS_UI_FORMAT_SHORTCUTS = 62002;
inline constexpr int IDS_UI_TAB_TRANSLATE = 62010;
inline constexpr int IDS_UI_TAB_VERIFY = 62011;
inline constexpr int IDS_UI_TAB_ABOUT = 62012;
inline constexpr int IDS_UI_CLOSE = 62013;
inline constexpr int IDS_UI_BROWSE = 62020;
inline constexpr int IDS_UI_FORMAT_LABEL = 62021;
inline constexpr int IDS_UI_LOCATION_LABEL = 62022;
inline constexpr int IDS_UI_CONVERT_INTRO = 62030;
inline constexpr int IDS_UI_CONVERT_SOURCE_HEADING = 62031;
inline constexpr int IDS_UI_CONVERT_DESTINATION_HEADING = 62032;
inline constexpr int IDS_UI_CONVERT_OPTIONS = 62033;
inline constexpr int IDS_UI_CONVERT_FIX_AMPERSANDS = 62034;
inline constexpr int IDS_UI_CONVERT_PRESERVE_NAME = 62035;
inline constexpr int IDS_UI_CONVERT_STATUS_START = 62036;
inline constexpr int IDS_UI_CONVERT_NETSCAPE_TO_EXPLORER = 62037;
inline constexpr int IDS_UI_CONVERT_EXPLORER_TO_NETSCAPE = 62038;
inline constexpr int IDS_UI_CONVERT_TRANSLATE = 62039;
inline constexpr int IDS_UI_CONVERT_PROGRESS = 62040;
inline constexpr int IDS_UI_VERIFY_INTRO = 62050;
inline constexpr int IDS_UI_VERIFY_HEADING = 62051;
inline constexpr int IDS_UI_VERIFY_STATUS_START = 62052;
inline constexpr int IDS_UI_VERIFY_BAD_LINK_OPTIONS = 62053;
inline constexpr int IDS_UI_VERIFY_INTERACTIVE = 62054;
inline constexpr int IDS_UI_VERIFY_RENAME = 62055;
inline constexpr int IDS_UI_VERIFY_CONNECTION_OPTIONS = 62056;
inline constexpr int IDS_UI_VERIFY_TIMEOUT = 62057;
inline constexpr int IDS_UI_VERIFY_RETRIES = 62058;
inline constexpr int IDS_UI_VERIFY_SECONDS = 62059;
inline constexpr int IDS_UI_VERIFY_TIMES = 62060;
inline constexpr int IDS_UI_VERIFY_VERIFY = 62061;
inline constexpr int IDS_UI_VERIFY_TIMEOUT_HELP = 62062;
inline constexpr int IDS_UI_VERIFY_LINKS_AT_ONCE = 62063;
inline constexpr int IDS_UI_VERIFY_CONFIRM = 62064;
inline constexpr int IDS_UI_VERIFY_KEEP_BACKUP = 62280;
inline constexpr int IDS_UI_VERIFY_UPDATE_MOVED = 62282;
inline constexpr int IDS_UI_ABOUT_VERSION = 62070;
inline constexpr int IDS_UI_ABOUT_NOTICE = 62071;
inline constexpr int IDS_UI_ABOUT_DESCRIPTION = 62072;
inline constexpr int IDS_UI_ABOUT_HOME = 62073;
inline constexpr int IDS_UI_ABOUT_HOME_TEXT = 62074;
inline constexpr int IDS_UI_ABOUT_COMMUNICATIONS = 62075;
inline constexpr int IDS_UI_ABOUT_COMMUNICATIONS_TEXT = 62076;
inline constexpr int IDS_UI_ABOUT_DEDICATION = 62077;
inline constexpr int IDS_UI_ABOUT_DEDICATION_TEXT = 62078;
inline constexpr int IDS_UI_FILTER_BOOKMARK_AND_HOTLIST = 62091;  // shown text, then Qt's patterns
inline constexpr int IDS_UI_FILTER_HTML = 62092;
inline constexpr int IDS_UI_FILTER_HOTLIST = 62093;
inline constexpr int IDS_UI_FILTER_ALL = 62094;
inline constexpr int IDS_UI_PROGRESS_TITLE = 62100;
inline constexpr int IDS_UI_PROGRESS_OK = 62101;
inline constexpr int IDS_UI_PROGRESS_CANCEL = 62102;
inline constexpr int IDS_UI_PROGRESS_CURRENTLY = 62103;
inline constexpr int IDS_UI_PROGRESS_LAST_ERROR = 62104;
inline constexpr int IDS_UI_PROGRESS_NAME = 62105;
inline constexpr int IDS_UI_PROGRESS_URL = 62106;
inline constexpr int IDS_UI_PROGRESS_ERROR = 62107;
inline constexpr int IDS_UI_PROGRESS_STATUS = 62108;
inline constexpr int IDS_UI_PROGRESS_TESTING = 62109;
inline constexpr int IDS_UI_PROGRESS_HINT = 62110;
inline constexpr int IDS_UI_PROGRESS_DOT = 62111;
inline constexpr int IDS_UI_REPAIR_TITLE = 62120;
inline constexpr int IDS_UI_REPAIR_OK = 62121;
inline constexpr int IDS_UI_REPAIR_CANCEL = 62122;
inline constexpr int IDS_UI_REPAIR_HINT = 62123;
inline constexpr int IDS_UI_REPAIR_GROUP = 62124;
inline constexpr int IDS_UI_REPAIR_NEW_URL = 62125;
inline constexpr int IDS_UI_COOKIE_TITLE = 62130;
inline constexpr int IDS_UI_COOKIE_PROMPT = 62131;
inline constexpr int IDS_UI_COOKIE_DURING = 62132;
inline constexpr int IDS_UI_COOKIE_ALWAYS = 62133;
inline constexpr int IDS_UI_COOKIE_TEXT = 62134;
inline constexpr int IDS_UI_COOKIE_GROUP = 62135;
inline constexpr int IDS_UI_SETTINGS_UNREADABLE = 62140;

// Texts the program shows that had no id of their own; ids from 61000 up are Tolva's.
inline constexpr int IDS_MSG_CAPTION_RUN = 61000;  // "Tolva"
inline constexpr int IDS_ERR_NETSCAPE_HEADER = 61001;
inline constexpr int IDS_ERR_NETSCAPE_LINE = 61002;
inline constexpr int IDS_ERR_NETSCAPE_FOOTER = 61003;
inline constexpr int IDS_ERR_MOSAIC_HEADER = 61004;
inline constexpr int IDS_ERR_MOSAIC_LINE = 61005;
inline constexpr int IDS_ERR_CREATING_FOLDER = 61006;
inline constexpr int IDS_STATUS_READING_LINE = 61010;
inline constexpr int IDS_STATUS_LOADING_ITEM = 61011;
inline constexpr int IDS_STATUS_SAVING_ITEM = 61015;
inline constexpr int IDS_STATUS_NETSCAPE_LOADED = 61012;
inline constexpr int IDS_STATUS_MOSAIC_LOADED = 61013;
inline constexpr int IDS_STATUS_SHORTCUTS_LOADED = 61014;
inline constexpr int IDS_STATUS_NOW_READING = 61020;
inline constexpr int IDS_STATUS_NOW_CONVERTING = 61021;
inline constexpr int IDS_STATUS_NOW_SAVING = 61022;
inline constexpr int IDS_STATUS_CONVERTED = 61023;
inline constexpr int IDS_STATUS_CONVERTED_COUNTS = 61027;  // "%s" is IDS_STATUS_CONVERTED
inline constexpr int IDS_STATUS_UNABLE_TO_READ = 61024;
inline constexpr int IDS_STATUS_UNABLE_TO_CREATE = 61025;
inline constexpr int IDS_STATUS_UNABLE_TO_SAVE = 61026;
inline constexpr int IDS_MSG_UNABLE_TO_OPEN_SOURCE = 61030;
inline constexpr int IDS_MSG_UNABLE_TO_READ_SOURCE = 61031;
inline constexpr int IDS_MSG_UNABLE_TO_OPEN_DESTINATION = 61032;
inline constexpr int IDS_MSG_UNABLE_TO_SAVE_DESTINATION = 61033;
inline constexpr int IDS_CONVERTING_LINK = 61034;
inline constexpr int IDS_ERR_READING_FILE = 61035;
inline constexpr int IDS_ERR_WRITING_SHORTCUT = 61060;  // shortcut file not written

// The verification: error texts are looked up by 40000 + HTTP status, 41000 + an FTP server's
// refusal code or by the error number.
inline constexpr int IDS_HTTP_ERROR_BASE = 40000;
inline constexpr int IDS_FTP_ERROR_BASE = 41000;
inline constexpr int IDS_COOKIE_KEY = 59165;    // "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
inline constexpr int IDS_COOKIE_VALUE = 59166;  // "AllowCookies"
inline constexpr int IDS_MSG_VERIFY_UNABLE_TO_OPEN = 61500;
inline constexpr int IDS_MSG_VERIFY_UNABLE_TO_READ = 61501;
inline constexpr int IDS_MSG_VERIFY_UNABLE_TO_SAVE = 61502;
inline constexpr int IDS_MSG_INTERNET_OPEN = 61503;
inline constexpr int IDS_TESTING_LINK = 61504;
inline constexpr int IDS_TESTING_LINKS_AT_ONCE = 61911;  // %d done, %d in the set, %d under test
inline constexpr int IDS_STATUS_STARTING = 61505;
inline constexpr int IDS_STATUS_RESOLVING = 61506;
inline constexpr int IDS_STATUS_CONNECTING = 61507;
inline constexpr int IDS_STATUS_REQUEST_SENT = 61508;
inline constexpr int IDS_STATUS_REQUEST_COMPLETE = 61509;
inline constexpr int IDS_SUMMARY_RESTORED = 61510;
inline constexpr int IDS_SUMMARY = 61511;
inline constexpr int IDS_SUMMARY_REPAIRED = 61540;
inline constexpr int IDS_SUMMARY_RESTORED_REPAIRED = 61541;
inline constexpr int IDS_VERIFY_COMPLETE = 61512;
inline constexpr int IDS_VERIFY_INCOMPLETE = 61513;
inline constexpr int IDS_VERIFY_CANCELED = 61514;
inline constexpr int IDS_VERIFY_SAVING = 61515;
inline constexpr int IDS_VERIFY_UNCHANGED = 61516;
inline constexpr int IDS_VERIFY_STATUS = 61517;
inline constexpr int IDS_VERIFY_STATUS_SAVED = 61518;
inline constexpr int IDS_ERROR_NUMBER = 61519;
// The texts of the cookie warning and the repair question, for front ends that show them.
inline constexpr int IDS_COOKIE_WARNING = 61520;
inline constexpr int IDS_COOKIE_QUESTION = 61521;
inline constexpr int IDS_COOKIE_CHOICE_PROMPT = 61522;
inline constexpr int IDS_COOKIE_CHOICE_DURING_RUN = 61523;
inline constexpr int IDS_COOKIE_CHOICE_ALWAYS = 61524;
inline constexpr int IDS_REPAIR_GROUP = 61530;
// Texts of the options beyond the one-at-a-time run (--jobs, --report, --dry-run, ...).
inline constexpr int IDS_SUMMARY_SKIPPED = 61550;
inline constexpr int IDS_SUMMARY_UPDATED = 61600;  // %d links given the URL they moved to
inline constexpr int IDS_VERIFY_DRY_RUN = 61551;
inline constexpr int IDS_MSG_VERIFY_UNABLE_TO_REPORT = 61552;
inline constexpr int IDS_MSG_VERIFY_REPORT_OVER_SET = 61553;
inline constexpr int IDS_MSG_VERIFY_LINKS_STAY = 61570;  // %d links behind symbolic links
// The safety catches before a verification saves.
inline constexpr int IDS_MSG_VERIFY_NETWORK_DOWN = 61590;  // %d links tested
inline constexpr int IDS_VERIFY_ASK_SET_ASIDE = 61591;     // %d failing of %d tested
inline constexpr int IDS_VERIFY_SET_ASIDE_DECLINED = 61592;
inline constexpr int IDS_ERR_SAVING_FILE = 61036;
inline constexpr int IDS_ERR_KEEPING_BACKUP = 61037;  // %d errno, %s the backup's path
inline constexpr int IDS_STATUS_TRANSLATION_CANCELED = 61028;
inline constexpr int IDS_STATUS_TRANSLATION_STOPPED = 61029;
inline constexpr int IDS_STATUS_TRANSLATION_STOPPED_PART = 61038;
// Why a set's file or folder could not be used, by cause (formats/storage_errors.h); each
// takes the location first.
inline constexpr int IDS_SET_NOT_PERMITTED = 61900;
inline constexpr int IDS_SET_IS_FOLDER = 61901;
inline constexpr int IDS_SET_IS_FILE = 61902;
inline constexpr int IDS_SET_FOLDER_READ_ONLY = 61903;  // %s the set, %s its folder
inline constexpr int IDS_SET_FOLDER_MISSING = 61904;    // %s the set, %s its folder
inline constexpr int IDS_ERR_CREATING_FILE = 61905;     // %d errno, %s the set
inline constexpr int IDS_SET_NOT_SAVED_READ_ONLY = 61906;
inline constexpr int IDS_SET_NOT_SAVED_FOLDER = 61907;  // %s the set, %s its folder
inline constexpr int IDS_SET_OTHER_FORMAT = 61908;      // %s the file, %s its format, %s the format chosen
inline constexpr int IDS_SET_NOT_BOOKMARKS = 61909;     // %s the file, %s the format chosen
inline constexpr int IDS_SET_FOLDER_IN_THE_WAY = 61910;
inline constexpr int IDS_SHORTCUTS_NOT_SAVED_FOLDER = 61920;  // %s the shortcut folder
inline constexpr int IDS_SHORTCUT_FOLDER_READ_ONLY = 61921;   // %s the shortcut file, %s its folder

// The browsers' stores and XBEL (strings_stores.cpp).
inline constexpr int IDS_UI_FORMAT_XBEL = 62003;  // the format boxes' entries, after the three above
inline constexpr int IDS_UI_FORMAT_CHROMIUM = 62004;
inline constexpr int IDS_UI_FORMAT_FIREFOX = 62005;
inline constexpr int IDS_UI_FILTER_XBEL = 62096;
inline constexpr int IDS_UI_FILTER_CHROMIUM = 62097;
inline constexpr int IDS_UI_FILTER_FIREFOX = 62098;
inline constexpr int IDS_STATUS_XBEL_LOADED = 61100;
inline constexpr int IDS_STATUS_CHROMIUM_LOADED = 61101;
inline constexpr int IDS_STATUS_FIREFOX_LOADED = 61102;
inline constexpr int IDS_ERR_XBEL_WRITE = 61103;
inline constexpr int IDS_ERR_CHROMIUM_WRITE = 61104;
inline constexpr int IDS_ERR_XBEL_READ = 61105;      // %s the location, %s the parser's reason, %d the line
inline constexpr int IDS_ERR_CHROMIUM_READ = 61106;  // %s the location, %s the reason
inline constexpr int IDS_ERR_FIREFOX_READ = 61107;   // %s the location, %s the reason
inline constexpr int IDS_FORMAT_READ_ONLY = 61108;
inline constexpr int IDS_VERIFY_CANNOT_SAVE_BACK = 61109;
inline constexpr int IDS_ERR_NOT_XBEL = 61110;  // %s the location, %s the document element
inline constexpr int IDS_UI_FORMAT_FIREFOX_BACKUP = 62006;
inline constexpr int IDS_UI_FILTER_FIREFOX_BACKUP = 62099;
inline constexpr int IDS_STATUS_FIREFOX_BACKUP_LOADED = 61111;
inline constexpr int IDS_ERR_FIREFOX_BACKUP_READ = 61112;  // %s the location, %s the reason
inline constexpr int IDS_ERR_FIREFOX_BACKUP_WRITE = 61113;
inline constexpr int IDS_ERR_CHROMIUM_ENCRYPTED_ONLY = 61114;  // %s the location
inline constexpr int IDS_UI_FORMAT_LINK_PAGE = 62007;
inline constexpr int IDS_STATUS_LINK_PAGE_LOADED = 61115;
inline constexpr int IDS_MSG_NO_LINKS_FOUND = 61116;  // %s the location

// The desktop program's mnemonics, hints, results window and chooser texts (strings_desktop.cpp).
inline constexpr int IDS_UI_DESTINATION_FORMAT_LABEL = 62200;
inline constexpr int IDS_UI_DESTINATION_LOCATION_LABEL = 62201;
inline constexpr int IDS_UI_BROWSE_DESTINATION = 62202;
inline constexpr int IDS_UI_VERIFY_SHOW_RESULTS = 62203;
inline constexpr int IDS_UI_TIP_SOURCE_FORMAT = 62210;
inline constexpr int IDS_UI_TIP_DESTINATION_FORMAT = 62211;
inline constexpr int IDS_UI_TIP_FIX_AMPERSANDS = 62212;
inline constexpr int IDS_UI_TIP_PRESERVE_NAME = 62213;
inline constexpr int IDS_UI_TIP_NETSCAPE_TO_EXPLORER = 62214;
inline constexpr int IDS_UI_TIP_EXPLORER_TO_NETSCAPE = 62215;
inline constexpr int IDS_UI_TIP_VERIFY_FORMAT = 62216;
inline constexpr int IDS_UI_TIP_INTERACTIVE = 62217;
inline constexpr int IDS_UI_TIP_RENAME = 62218;
inline constexpr int IDS_UI_TIP_CONFIRM = 62219;
inline constexpr int IDS_UI_TIP_RETRIES = 62220;
inline constexpr int IDS_UI_TIP_LINKS_AT_ONCE = 62221;
inline constexpr int IDS_UI_TIP_SHOW_RESULTS = 62222;
inline constexpr int IDS_UI_TIP_KEEP_BACKUP = 62281;
inline constexpr int IDS_UI_TIP_UPDATE_MOVED = 62283;
inline constexpr int IDS_UI_RESULTS_TITLE = 62230;
inline constexpr int IDS_UI_RESULTS_SHOW = 62231;
inline constexpr int IDS_UI_RESULTS_ALL = 62232;
inline constexpr int IDS_UI_RESULTS_FIND = 62233;
inline constexpr int IDS_UI_RESULTS_NOTHING = 62234;
inline constexpr int IDS_UI_RESULTS_HINT = 62235;
inline constexpr int IDS_UI_RESULTS_SAVE = 62236;
inline constexpr int IDS_UI_RESULTS_CLOSE = 62237;
inline constexpr int IDS_UI_RESULTS_FOLDER = 62238;  // the table's columns, in order
inline constexpr int IDS_UI_RESULTS_NAME = 62239;
inline constexpr int IDS_UI_RESULTS_URL = 62240;
inline constexpr int IDS_UI_RESULTS_OUTCOME = 62241;
inline constexpr int IDS_UI_RESULTS_ERROR = 62242;
inline constexpr int IDS_UI_RESULTS_FINAL_URL = 62243;
inline constexpr int IDS_UI_PICK_REPORT_TITLE = 62244;
inline constexpr int IDS_UI_PICK_SOURCE_TITLE = 62248;  // the choosers, by what they choose
inline constexpr int IDS_UI_PICK_DESTINATION_TITLE = 62249;
inline constexpr int IDS_UI_PICK_VERIFY_TITLE = 62252;
inline constexpr int IDS_UI_FILTER_REPORT_JSON = 62245;
inline constexpr int IDS_UI_FILTER_REPORT_CSV = 62246;
inline constexpr int IDS_UI_RESULTS_FIND_HINT = 62247;
inline constexpr int IDS_VERIFY_END_REPORT = 62250;
inline constexpr int IDS_VERIFY_END_NO_REQUESTS = 62251;
// The Verify page's choices of which links to test, and the archive.
inline constexpr int IDS_UI_VERIFY_ONLY_UNVERIFIED = 62260;
inline constexpr int IDS_UI_VERIFY_SKIP = 62261;
inline constexpr int IDS_UI_TIP_ONLY_UNVERIFIED = 62262;
inline constexpr int IDS_UI_TIP_SKIP = 62263;
inline constexpr int IDS_UI_VERIFY_SUGGEST_ARCHIVE = 62264;
inline constexpr int IDS_UI_TIP_SUGGEST_ARCHIVE = 62265;
inline constexpr int IDS_UI_RESULTS_ARCHIVED_URL = 62266;  // the results table's last column
inline constexpr int IDS_UI_REPAIR_ARCHIVED_URL = 62267;
// Why a link was not tested, in its record.
inline constexpr int IDS_SKIPPED_REASON = 61580;
inline constexpr int IDS_SKIPPED_FOLDER_REASON = 61581;
inline constexpr int IDS_SKIPPED_PATTERN_REASON = 61582;
inline constexpr int IDS_SKIPPED_NOT_SET_ASIDE_REASON = 61583;
inline constexpr int IDS_SUMMARY_SKIPPED_AS_ASKED = 61584;
inline constexpr int IDS_NOTE_NO_SKIPPED_FOLDER = 61585;  // %s the folder path, %s the set's location

// Merging sets (strings_merge.cpp).
inline constexpr int IDS_MERGE_NO_SOURCES = 61800;
inline constexpr int IDS_MERGE_SOURCE_FORMAT_UNKNOWN = 61801;  // %s the location
inline constexpr int IDS_MERGE_UNABLE_TO_OPEN_SOURCE = 61802;  // %s the location
inline constexpr int IDS_MERGE_UNABLE_TO_READ_SOURCE = 61803;  // %s the location
inline constexpr int IDS_MERGE_UNABLE_TO_OPEN_DESTINATION = 61804;
inline constexpr int IDS_MERGE_UNABLE_TO_SAVE_DESTINATION = 61805;
inline constexpr int IDS_MERGE_NOW_READING = 61806;  // %d the set's number, %d how many
inline constexpr int IDS_MERGE_NOW_MERGING = 61807;  // %d the set's number, %d how many
inline constexpr int IDS_MERGE_ONE_SET = 61808;
inline constexpr int IDS_MERGE_SETS = 61809;  // %s how many
// %s the sets (IDS_MERGE_ONE_SET or IDS_MERGE_SETS), then the counts of links, folders,
// duplicates merged and links in other folders.
inline constexpr int IDS_MERGE_COUNTS_KEEP = 61810;
inline constexpr int IDS_MERGE_COUNTS_FIRST = 61811;
inline constexpr int IDS_MERGE_CANCELED = 61812;
inline constexpr int IDS_MERGE_STOPPED = 61813;
inline constexpr int IDS_MERGE_STOPPED_PART = 61814;
inline constexpr int IDS_MSG_MERGE_REPORT_OVER_SET = 61815;   // %s the report's location
inline constexpr int IDS_MSG_MERGE_UNABLE_TO_REPORT = 61816;  // %s the report's location, %d the error
// The Merge page.
inline constexpr int IDS_UI_TAB_MERGE = 62300;
inline constexpr int IDS_UI_MERGE_INTRO = 62301;
inline constexpr int IDS_UI_MERGE_SOURCE_HEADING = 62302;
inline constexpr int IDS_UI_MERGE_ADD = 62303;
inline constexpr int IDS_UI_MERGE_SOURCES = 62304;
inline constexpr int IDS_UI_MERGE_REMOVE = 62305;
inline constexpr int IDS_UI_MERGE_SELECTED_FORMAT = 62306;
inline constexpr int IDS_UI_MERGE_DESTINATION_HEADING = 62307;
inline constexpr int IDS_UI_MERGE_MATCH = 62308;
inline constexpr int IDS_UI_MERGE_MATCH_EXACT = 62309;
inline constexpr int IDS_UI_MERGE_MATCH_LOOSE = 62310;
inline constexpr int IDS_UI_MERGE_DUPLICATES = 62311;
inline constexpr int IDS_UI_MERGE_KEEP = 62312;
inline constexpr int IDS_UI_MERGE_FIRST = 62313;
inline constexpr int IDS_UI_MERGE_MERGE = 62314;
inline constexpr int IDS_UI_MERGE_STATUS_START = 62315;
inline constexpr int IDS_UI_MERGE_LOCATION_COLUMN = 62316;
inline constexpr int IDS_UI_MERGE_FORMAT_COLUMN = 62317;
inline constexpr int IDS_UI_MERGE_NO_FORMAT = 62318;
inline constexpr int IDS_UI_PICK_MERGE_TITLE = 62319;
inline constexpr int IDS_UI_TIP_MERGE_SOURCE_FORMAT = 62320;
inline constexpr int IDS_UI_TIP_MERGE_ADD = 62321;
inline constexpr int IDS_UI_TIP_MERGE_SOURCES = 62322;
inline constexpr int IDS_UI_TIP_MERGE_REMOVE = 62323;
inline constexpr int IDS_UI_TIP_MERGE_SELECTED_FORMAT = 62324;
inline constexpr int IDS_UI_TIP_MERGE_EXACT = 62325;
inline constexpr int IDS_UI_TIP_MERGE_LOOSE = 62326;
inline constexpr int IDS_UI_TIP_MERGE_KEEP = 62327;
inline constexpr int IDS_UI_TIP_MERGE_FIRST = 62328;
inline constexpr int IDS_UI_TIP_MERGE_MERGE = 62329;
inline constexpr int IDS_UI_MERGE_FIX_AMPERSANDS = 62330;
inline constexpr int IDS_UI_MERGE_PRESERVE_NAME = 62331;
inline constexpr int IDS_UI_MERGE_REPORT = 62332;
inline constexpr int IDS_UI_MERGE_BROWSE_REPORT = 62333;
inline constexpr int IDS_UI_TIP_MERGE_REPORT = 62334;
inline constexpr int IDS_UI_PICK_MERGE_REPORT_TITLE = 62335;

// Returns the text of id, or empty text for an id that is not in the table.
std::string LoadString(int id);

// Fills %d and %s (and %% for one percent sign) from args, in order. Only these directives
// are understood, so a text from the table can never read past its arguments: a directive
// without an argument is copied as it stands.
// A number of things a person counts (links, folders) in a text: written as the front end
// writes numbers (the desktop program groups digits as its locale does), plain digits unless
// it says otherwise. Error numbers and anything saved in a file stay plain ints.
struct Count {
    long value;
};
// How counts are written from now on; null goes back to plain digits.
void SetCountWriter(std::string (*writer)(long value));
std::string CountText(long value);

class FormatArg {
public:
    FormatArg(Count count) : text_(CountText(count.value)) {}
    FormatArg(int value) : text_(std::to_string(value)) {}
    FormatArg(long value) : text_(std::to_string(value)) {}
    FormatArg(unsigned value) : text_(std::to_string(value)) {}
    FormatArg(const char* value) : text_(value ? value : "") {}
    FormatArg(std::string_view value) : text_(value) {}
    FormatArg(const std::string& value) : text_(value) {}
    const std::string& Text() const { return text_; }

private:
    std::string text_;
};
std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args);

// Shorthand: FormatText(LoadString(id), args).
std::string FormatString(int id, std::initializer_list<FormatArg> args);

// A status text with a count in place of its one "%d" ("Reading line %d"), counted up without
// formatting the whole text again: the readers and writers show one for every line or item.
class CounterText {
public:
    explicit CounterText(const std::string& format);
    // The text with the count raised by one, or by many at once.
    const std::string& Advance();
    const std::string& Advance(std::size_t by);

private:
    std::string text_;
    std::size_t first_ = 0;  // the number's first and last digit in text_
    std::size_t last_ = 0;
    std::size_t count_ = 0;
    bool counts_ = false;
};

// The parts of the table, one per area of the program.
std::span<const StringEntry> CoreStrings();
std::span<const StringEntry> VerifyStrings();
std::span<const StringEntry> UiStrings();
std::span<const StringEntry> DesktopStrings();
std::span<const StringEntry> StoreStrings();
std::span<const StringEntry> MergeStrings();

}  // namespace tolva
