#pragma once
// Chromium's bookmark file ("Bookmarks", JSON; also Chrome's, Edge's, Brave's and Vivaldi's):
// the reader and writer of the format, the codec of the Chromium row of formats/format_table.cpp.
// The roots bookmark_bar, other and synced become top-level folders under their names.
// Sets are written to new files only: a running browser rewrites its file from its own copy.

#include <string>

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// Appends the entries of the set's open file after its cursor. A file that is not
// Chromium's JSON is reported with the parser's reason and gives 0.
int ReadChromium(SetStorage& storage, TextControl* statusText);
// Writes the set to its open (new) file: top-level folders named as the roots fill those
// roots, everything else at the top level goes into "Other bookmarks".
int WriteChromium(SetStorage& storage);
// For a bookmark file that is not there: the message that the profile keeps its bookmarks only
// encrypted, when an encrypted copy lies beside it; 0 otherwise.
int ChromiumMissingMessage(const std::string& location);

}  // namespace tolva
