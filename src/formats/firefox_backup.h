#pragma once
// Firefox's bookmark backup: the JSON file its Backup writes and its Restore takes (".json"),
// and the same JSON as one LZ4 block (".jsonlz4", what it keeps in its bookmarkbackups
// folder): the reader and writer of the format, the codec of the Firefox backup row of
// formats/format_table.cpp. Firefox's Restore replaces every bookmark it has with the file's.
//
// A backup is a tree of nodes under four roots known by their guids. The menu's contents are
// the set's top level, as in a bookmark file Firefox exports; the toolbar and the other
// bookmarks are top-level folders marked as such a file marks them (PERSONAL_TOOLBAR_FOLDER,
// UNFILED_BOOKMARKS_FOLDER), the mobile bookmarks a top-level folder by its name. Written,
// a set's top-level folders marked toolbar, unfiled or mobile (FolderMark, whichever format
// marked them; an unmarked one by Firefox's own name for a root) fill those roots, everything
// else goes to the menu. Read, the roots' folders carry their marks.

#include <array>
#include <string_view>

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// Appends the entries of the set's open file, compressed or not, after its cursor. A file that
// is no backup, or whose compressed block is damaged, is reported with the reason and gives 0.
int ReadFirefoxBackup(SetStorage& storage, TextControl* statusText);
// Writes the set to its open file: compressed when its location ends in ".jsonlz4" or the
// file it replaces is compressed, plain JSON otherwise.
int WriteFirefoxBackup(SetStorage& storage);

namespace firefox_backup {

struct Root {
    std::string_view guid;
    // The name of the top-level folder it is read as (the one Firefox shows).
    std::string_view name;
    // Its title and "root" value in a backup.
    std::string_view title;
    std::string_view rootName;
};
inline constexpr std::array<Root, 4> kRoots = {{
    {"menu________", "Bookmarks Menu", "menu", "bookmarksMenuFolder"},
    {"toolbar_____", "Bookmarks Toolbar", "toolbar", "toolbarFolder"},
    {"unfiled_____", "Other Bookmarks", "unfiled", "unfiledBookmarksFolder"},
    {"mobile______", "Mobile Bookmarks", "mobile", "mobileFolder"},
}};
enum RootIndex : std::size_t { kMenu, kToolbar, kUnfiled, kMobile };
inline constexpr std::string_view kPlacesRoot = "root________";
inline constexpr std::string_view kTagsRoot = "tags________";

inline constexpr std::string_view kBookmarkType = "text/x-moz-place";
inline constexpr std::string_view kFolderType = "text/x-moz-place-container";
inline constexpr std::string_view kSeparatorType = "text/x-moz-place-separator";
// The same kinds as numbers (typeCode).
enum TypeCode { kBookmarkCode = 1, kFolderCode = 2, kSeparatorCode = 3 };

}  // namespace firefox_backup

}  // namespace tolva
