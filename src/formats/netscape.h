#pragma once
// Netscape bookmark files (an HTML subset browsers export): the reader and writer of the
// format, the codec of the Netscape row of formats/format_table.cpp.

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// Appends the entries of the set's open file after its cursor and takes the set's title
// from it; statusText, when given, shows the line being read. Every text is borrowed from
// the file (SetStorage::TakeRest). Returns 0 for a file without a single line.
int ReadNetscape(SetStorage& storage, TextControl* statusText);
// Writes the set to its open file from the file's start, with CRLF line ends.
int WriteNetscape(SetStorage& storage);

}  // namespace tolva
