#pragma once
// What the units of the browsers' stores (xbel, chromium, firefox) share: the kept attributes
// through which their dates, descriptions, tags and keywords travel between formats, the
// dates each store counts in its own way, and text made fit for formats that must be UTF-8.
//
// Kept attributes are the extraAttributes of an entry, spelled as a Netscape bookmark file
// spells them (' NAME="value"', values with &, ", < and > escaped as in HTML), under the
// names browsers export there (ADD_DATE, LAST_MODIFIED in seconds since 1970, TAGS,
// SHORTCUTURL). So a Firefox store translated into a bookmark file keeps them as a
// browser's own export does, and a bookmark file translated into XBEL gives its dates back.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tolva::store {

inline constexpr std::string_view kAddDate = "ADD_DATE";
inline constexpr std::string_view kLastModified = "LAST_MODIFIED";
inline constexpr std::string_view kLastVisit = "LAST_VISIT";
inline constexpr std::string_view kDescription = "DESCRIPTION";
inline constexpr std::string_view kTags = "TAGS";
inline constexpr std::string_view kShortcutUrl = "SHORTCUTURL";
// The URL a link had before a verification gave it the address its site moved it to.
inline constexpr std::string_view kPreservedUrl = "PRE_VFY_URL";
// The browsers' marks of their own top-level folders: a bookmark file's toolbar and other
// bookmarks (as Firefox exports them), and the Chromium root a folder was read from.
inline constexpr std::string_view kToolbarFolder = "PERSONAL_TOOLBAR_FOLDER";
inline constexpr std::string_view kUnfiledFolder = "UNFILED_BOOKMARKS_FOLDER";
inline constexpr std::string_view kChromiumRoot = "CHROMIUM_ROOT";

// Appends ' NAME="value"' with value escaped.
void AddKeptAttribute(std::string& attributes, std::string_view name, std::string_view value);
// Every NAME="value" pair of attributes, values unescaped, in their order. Names are taken
// without the spaces around them (a bookmark file's reader may keep one before a name).
std::vector<std::pair<std::string, std::string>> KeptAttributes(std::string_view attributes);
// The value of the first attribute called name, or nothing.
std::optional<std::string> FindKeptAttribute(std::string_view attributes, std::string_view name);
// attributes without those called name; the others stay as they are spelled.
std::string WithoutKeptAttribute(std::string_view attributes, std::string_view name);
// Gives the first attribute called name value in its place, or appends it when there is none.
void SetKeptAttribute(std::string& attributes, std::string_view name, std::string_view value);

// Dates. Seconds since 1970 are the common measure; each store's own unit converts to it.
std::optional<std::int64_t> ParseSeconds(std::string_view text);
// "2024-02-29T13:45:00Z" (XBEL), and back; a time zone offset is taken into account.
std::string IsoDate(std::int64_t seconds);
std::optional<std::int64_t> ParseIsoDate(std::string_view text);
// Chromium counts microseconds since 1601-01-01.
std::int64_t SecondsFromChromium(std::int64_t microseconds);
std::int64_t ChromiumFromSeconds(std::int64_t seconds);

// Appends text as valid UTF-8: a byte that does not begin a valid sequence is taken as the
// Latin-1 character of its value (a set saved on Windows holds such bytes, 0xAD among them),
// and control characters other than tab (and line feed, with keepLineFeeds) become spaces,
// as XML cannot hold them and names are one line everywhere.
void AppendUtf8(std::string& out, std::string_view text, bool keepLineFeeds = false);
// Appends text as a JSON string: quoted, valid UTF-8 as AppendUtf8 makes it, tabs as spaces.
void AppendJsonString(std::string& out, std::string_view text);

}  // namespace tolva::store
