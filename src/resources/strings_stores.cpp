#include "resources/strings.h"

namespace tolva {

namespace {

constexpr StringEntry kStoreStrings[] = {
    {IDS_UI_FORMAT_XBEL, "XBEL bookmarks"},
    {IDS_UI_FORMAT_CHROMIUM, "Chromium bookmarks (written to a new file only)"},
    {IDS_UI_FORMAT_FIREFOX, "Firefox bookmarks (read only)"},
    {IDS_UI_FILTER_XBEL, "XBEL bookmarks (*.xbel, *.xml) (*.xbel *.xml)"},
    {IDS_UI_FILTER_CHROMIUM, "Chromium bookmarks (Bookmarks) (Bookmarks*)"},
    {IDS_UI_FILTER_FIREFOX, "Firefox bookmarks (places.sqlite) (places*.sqlite)"},
    {IDS_UI_FORMAT_FIREFOX_BACKUP, "Firefox bookmark backup (Restore replaces all of Firefox's bookmarks)"},
    {IDS_UI_FILTER_FIREFOX_BACKUP, "Firefox bookmark backups (*.json, *.jsonlz4) (*.json *.jsonlz4)"},
    {IDS_UI_FORMAT_LINK_PAGE, "Page of links, such as a read-it-later export (read only)"},
    {IDS_RECENT_TRANSLATE_BASE + 3, "Software\\Hollin\\Tolva\\Convert\\RecentXbel"},
    {IDS_RECENT_TRANSLATE_BASE + 4, "Software\\Hollin\\Tolva\\Convert\\RecentChromium"},
    {IDS_RECENT_TRANSLATE_BASE + 5, "Software\\Hollin\\Tolva\\Convert\\RecentFirefox"},
    {IDS_RECENT_TRANSLATE_BASE + 6, "Software\\Hollin\\Tolva\\Convert\\RecentFirefoxBackup"},
    {IDS_RECENT_TRANSLATE_BASE + 7, "Software\\Hollin\\Tolva\\Convert\\RecentLinkPage"},
    {IDS_RECENT_VERIFY_BASE + 3, "Software\\Hollin\\Tolva\\Verify\\RecentXbel"},
    {IDS_RECENT_VERIFY_BASE + 4, "Software\\Hollin\\Tolva\\Verify\\RecentChromium"},
    {IDS_RECENT_VERIFY_BASE + 5, "Software\\Hollin\\Tolva\\Verify\\RecentFirefox"},
    {IDS_RECENT_VERIFY_BASE + 6, "Software\\Hollin\\Tolva\\Verify\\RecentFirefoxBackup"},
    {IDS_RECENT_VERIFY_BASE + 7, "Software\\Hollin\\Tolva\\Verify\\RecentLinkPage"},
    {IDS_STATUS_XBEL_LOADED, "XBEL file loaded."},
    {IDS_STATUS_CHROMIUM_LOADED, "Chromium file loaded."},
    {IDS_STATUS_FIREFOX_LOADED, "Firefox store loaded."},
    {IDS_STATUS_FIREFOX_BACKUP_LOADED, "Firefox backup loaded."},
    {IDS_STATUS_LINK_PAGE_LOADED, "Plain page of links loaded: its links, without folders."},
    {IDS_MSG_NO_LINKS_FOUND, "No links found in %s.  Nothing was written."},
    {IDS_ERR_FIREFOX_BACKUP_WRITE, "Error %d writing Firefox bookmark backup"},
    {IDS_ERR_FIREFOX_BACKUP_READ, "The Firefox bookmark backup %s could not be read:\n%s."},
    {IDS_ERR_XBEL_WRITE, "Error %d writing XBEL file"},
    {IDS_ERR_CHROMIUM_WRITE, "Error %d writing Chromium file"},
    {IDS_ERR_XBEL_READ, "The XBEL file %s could not be read:\n%s (line %d)."},
    {IDS_ERR_NOT_XBEL, "The file %s is not an XBEL file: its document is <%s>, not <xbel>."},
    {IDS_ERR_CHROMIUM_READ, "The Chromium bookmark file %s could not be read:\n%s."},
    {IDS_ERR_CHROMIUM_ENCRYPTED_ONLY,
     "There is no %s: this Chromium profile keeps its bookmarks only in an encrypted file (EncryptedBookmarks), which "
     "Tolva cannot read.  Export them from the browser's bookmark manager as a bookmark file and translate that."},
    {IDS_ERR_FIREFOX_READ, "The Firefox bookmark store %s could not be read:\n%s."},
    {IDS_FORMAT_READ_ONLY,
     "Tolva reads Firefox bookmarks and pages of links but does not write them.  Choose another format for the new "
     "URL set."},
    {IDS_VERIFY_CANNOT_SAVE_BACK,
     "A verification saves the set back where it was read from, which Tolva does not do for this format: %s.  "
     "Translate the set into another format first, then verify the new set."},
};

}  // namespace

std::span<const StringEntry> StoreStrings() { return kStoreStrings; }

}  // namespace tolva
