#pragma once
// Mosaic hotlists: the reader and writer of the format, the codec of the Mosaic row of
// formats/format_table.cpp.

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// Appends the entries of the set's open file after its cursor, line by line through the
// set's line reader, and takes the set's title from it; statusText, when given, shows the
// line being read. Returns 0 for a file without a single line.
int ReadMosaic(SetStorage& storage, TextControl* statusText);
// Writes the set to its open file from the file's start, with CRLF line ends.
int WriteMosaic(SetStorage& storage);

}  // namespace tolva
