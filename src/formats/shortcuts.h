#pragma once
// Folder trees of Windows Internet shortcut files: the reader and writer of the format, the
// codec of the Shortcuts row of formats/format_table.cpp.

#include <string>
#include <string_view>

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// Appends the folders and links below the set's location after its cursor; statusText, when
// given, counts the items loaded. The set's title is the registered owner's name.
int ReadShortcuts(SetStorage& storage, TextControl* statusText);
// Writes the set below its location: a folder per folder, a shortcut file per link.
int WriteShortcuts(SetStorage& storage);

// The name a link or folder read from a shortcut tree had before it was stored under an
// adapted one (a name made safe for a file, shortened, or numbered apart from a namesake), as
// the writer kept it; false when none was kept or the entry was not read from a tree.
bool FormerShortcutName(const UrlEntry& entry, std::string& name);
// Whether entry was read from a shortcut tree through a symbolic link: a linked folder, a
// shortcut file that is a link, or anything below a linked folder. The writer follows no link,
// so such an entry is saved back only by being left where it is, as it is.
bool ReadThroughSymbolicLink(const UrlEntry& entry);
// Whether the name entry was read under is what the writer makes of given: given itself, or
// cut to the limit of the entry's file system, either of them perhaps numbered " (N)"; for the
// toolbar's folder, the Favorites Bar's name.
bool WriterWouldName(const UrlEntry& entry, std::string_view given);

}  // namespace tolva
