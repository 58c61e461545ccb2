#pragma once
// The kinds of things a URL set is made of: its formats, how it is opened, its entries' kinds
// and flags. Their numbers are the ones stored files and the pages' lists use.

#include <cstdint>

namespace tolva {

// The formats, numbered as the stored locations number them (and, in that order, the format
// table's rows and the pages' format boxes).
enum class UrlSetFormat : std::int32_t {
    None = -1,
    Mosaic = 0,
    Netscape = 1,
    Shortcuts = 2,
    // The browsers' own stores: the XBEL file of KDE, GNOME and many managers, Chromium's
    // Bookmarks file (JSON) and Firefox's places.sqlite.
    Xbel = 3,
    Chromium = 4,
    Firefox = 5,
    // Firefox's bookmark backup (JSON, or JSON in an LZ4 block), which its Restore takes whole.
    FirefoxBackup = 6,
    // A plain HTML page of links (a read-it-later export), read as a flat list of its links.
    LinkPage = 7,
};

// The format stored under number (which may be one no format has).
constexpr UrlSetFormat FormatNumbered(int number) { return static_cast<UrlSetFormat>(number); }

enum class UrlSetOpenMode : std::int32_t {
    CreateNew = 1,
    OpenExisting = 2,
};

enum class UrlEntryKind : std::int32_t {
    None = -1,
    FolderStart = 1,
    FolderEnd = 2,
    Link = 3,
    Separator = 4,
};

// What a folder is to the browser its set came from, whatever the folder is called: the folder
// shown as the toolbar, the unfiled one ("Other bookmarks") or the mobile one. Each format
// reads and writes its own spelling of it (a bookmark file's PERSONAL_TOOLBAR_FOLDER and
// UNFILED_BOOKMARKS_FOLDER, Chromium's roots, Firefox's root folders, a Favorites folder's
// top-level Links); translations carry it as it is. A set's writer decides where a mark may
// stand in its format (a bookmark file marks one top-level folder at most).
enum class FolderMark : std::uint8_t {
    None = 0,
    Toolbar = 1,
    Unfiled = 2,
    Mobile = 3,
};

enum UrlEntryFlags : std::int32_t {
    LocationPreserved = 0x1,
    NamePreserved = 0x2,
    NameTranslated = 0x4,
    ChangedByVerification = 0x8,
    // The reader cut a verification's error text off the name it found (a shortcut's file
    // name), so the link is one a verification renamed.
    NameCarriesErrorText = 0x10,
};

}  // namespace tolva
