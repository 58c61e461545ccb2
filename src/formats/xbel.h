#pragma once
// XBEL, the XML bookmark exchange format of KDE, GNOME and many bookmark managers: the reader
// and writer of the format, the codec of the XBEL row of formats/format_table.cpp.
//
// Folders, bookmarks, separators, titles, descriptions and the added, modified and visited
// dates are XBEL's own. What it has no place for (a preserved name and location, so that a
// verification's moves can be undone, and kept attributes such as tags) goes into each
// item's info/metadata under Tolva's own owner, which other programs leave alone.

#include <string_view>

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// The owner of Tolva's metadata in an XBEL file.
inline constexpr std::string_view kXbelMetadataOwner = "urn:tolva";

// Appends the entries of the set's open file after its cursor and takes the set's title from
// the document's title. A file that is not well-formed XBEL is reported with the place of the
// fault, and gives 0.
int ReadXbel(SetStorage& storage, TextControl* statusText);
// Writes the set to its open file from the file's start, as UTF-8.
int WriteXbel(SetStorage& storage);

}  // namespace tolva
