#pragma once
// The ".url" profile file of one link, and what a link or folder read from a shortcut tree
// remembers of where it was read.
//
// Names come back: where the writer stores a name other than the one it was given (adapted
// to a file name, shortened to the file system's limit, numbered apart from a namesake), it
// keeps the given name under [Tolva] PreVfyName, in the link's file or, for a folder, in the
// folder's desktop.ini, which Windows reads only for its own sections and the reader does not
// take for a link.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/format.h"
#include "model/url_set.h"
#include "platform/folder_walk.h"
#include "platform/profile_file.h"

namespace tolva {

inline constexpr std::string_view kShortcutSection = "InternetShortcut";
// Windows keeps a URL that its code page cannot hold again in these twins: the code page's
// rendering in ".A", and the whole text in UTF-7 in ".W", which Windows itself reads first.
inline constexpr std::string_view kAnsiSection = "InternetShortcut.A";
inline constexpr std::string_view kUnicodeSection = "InternetShortcut.W";
inline constexpr std::string_view kTolvaSection = "Tolva";
inline constexpr std::string_view kFormerNameKey = "PreVfyName";
// A folder's own settings file: Windows and other programs read only their sections of it.
inline constexpr std::string_view kFolderSettingsName = "desktop.ini";

// What a bookmark file holds and a shortcut does not, kept in Tolva's section so that the set
// comes back whole: a link's or folder's other attributes (tags, keywords, dates, icons) and
// its description, a folder's mark, the order of a folder's entries with its separators, and
// the set's heading (in the top folder's desktop.ini).
inline constexpr std::string_view kAttributesKey = "Attributes";
inline constexpr std::string_view kDescriptionKey = "Description";
inline constexpr std::string_view kMarkKey = "Mark";
inline constexpr std::string_view kOrderKey = "Order";
inline constexpr std::string_view kHeadingKey = "Heading";
// The top-level folder Windows shows as the Favorites Bar: a set's toolbar folder goes there.
inline constexpr std::string_view kToolbarFolderName = "Links";

// One entry of a folder as its order record names it: a sub-folder or shortcut file by its name
// in the folder, or a separator.
struct OrderItem {
    UrlEntryKind kind = UrlEntryKind::Link;
    std::string name;
};
// The record of a folder's order: the items' names joined by "/", which no name holds, a
// separator as ".", which no entry of a folder can be called.
std::string OrderRecord(const std::vector<OrderItem>& items);
// The names and separators of a record, in order; a name's kind is left for the folder to say.
std::vector<OrderItem> OrderRecordItems(std::string_view record);
// Whether items are in the order the reader takes a folder without a record: no separators,
// the sub-folders first, each group in the order Windows lists names.
bool InListedOrder(const std::vector<OrderItem>& items);

// Tolva's own texts are kept whole, on one line: backslashes and line breaks are escaped.
std::string ReadKeptText(const ProfileFile& profile, std::string_view key);
// Sets the key in Tolva's section, or removes it when text is empty so that nothing stale
// comes back.
void SetKeptText(ProfileFile& profile, std::string_view key, std::string_view text);
// A link's kept attributes, less its former URL (the one it had before a verification gave it
// the address its site moved it to), which has a key of its own beside them, as its origin has.
inline constexpr std::string_view kFormerUrlKey = "PreVfyUrl";
//
// Windows' own keys of a shortcut (Modified, IconFile, IconIndex, and BASEURL of [DEFAULT]) hold
// what a bookmark file has no attribute for: they travel among the kept attributes as
// "SHORTCUT_" and the key's name in capitals (SHORTCUT_ICONFILE), and go back to the keys, never
// into Tolva's section, so that the keys the file holds are the ones that count. Modified, the
// time Windows last changed the link, is its LAST_MODIFIED as well, and a LAST_MODIFIED from
// elsewhere is written as Modified; the key's own spelling is kept only when the date does not
// give it (Windows counts in tenths of microseconds).
std::string ReadLinkAttributes(const ProfileFile& profile);
void SetLinkAttributes(ProfileFile& profile, std::string_view attributes);
// Modified as Windows spells a time: the FILETIME's eight bytes, lowest first, in hexadecimal,
// and their sum as a check byte; nothing for a time before 1601.
std::optional<std::string> ModifiedValue(std::int64_t seconds);
// The seconds since 1970 of a Modified value (with or without its check byte, which must then
// hold); nothing for any other text or a zero time.
std::optional<std::int64_t> ModifiedSeconds(std::string_view value);
// A mark as a folder's settings spell it (MarkName); "none" says that a top-level Links folder
// is not the set's toolbar.
inline constexpr std::string_view kNoMarkName = "none";

// One folder on the way from the top of a tree to an entry; a link read from a tree keeps its
// folder's, so every link of a deep tree shares the names above it instead of a copy each.
struct FolderNode {
    std::shared_ptr<const FolderNode> parent;
    std::string name;
};

// The names of the folders from below the top down to node.
std::vector<std::string> NamesFromTop(const FolderNode* node);
// top with names appended as path components.
std::string PathOf(const std::string& top, const std::vector<std::string>& names);

// A link or folder read from a shortcut tree. A link remembers which file it was read from, so
// that writing the set back to where it was read can remove that file when the link goes to
// another one, and keep the file's other sections when it does.
class ShortcutEntry : public UrlEntry {
public:
    using UrlEntry::UrlEntry;
    std::string formerName;  // what the writer was given before it adapted the name
    bool hasFormerName = false;
    std::size_t nameLimit = kDefaultNameLimit;
    FileId top{};                              // the folder the set was read from
    std::shared_ptr<const FolderNode> folder;  // the link's folder; a folder's own
    std::string location;                      // the set's location when it was read
    std::string fileName;
    FileId file{};  // of the link's file, or of a folder's symbolic link
    // Its own name in its folder is a symbolic link (to a folder or a shortcut file).
    bool throughLink = false;
    // It or a folder above it was reached through a symbolic link.
    bool behindLink = false;
};

// The URL of a shortcut as Windows reads it.
std::string ReadUrl(const ProfileFile& profile);
// Sets the URL, and its twins where Windows needs them.
void WriteUrl(ProfileFile& profile, std::string_view url);
// The former name kept in a file, if the file keeps one (an empty name is one too).
bool ReadFormerName(const ProfileFile& profile, std::string& name);
// Stores the former name, or removes one another write left, so that a name the file no
// longer derives from is never given back.
void SetFormerName(ProfileFile& profile, bool keep, const std::string& former);

}  // namespace tolva
