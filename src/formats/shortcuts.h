#pragma once
// Folder trees of Windows Internet shortcut files: the reader and writer of the format, the
// codec of the Shortcuts row of formats/format.cpp.

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

// Appends the folders and links below the set's location after its cursor; statusText, when
// given, counts the items loaded. The set's title is the registered owner's name.
int ReadShortcuts(UrlSet& set, TextControl* statusText);
// Writes the set below its location: a folder per folder, a shortcut file per link.
int WriteShortcuts(UrlSet& set);

}  // namespace tolva
