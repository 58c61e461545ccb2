#pragma once
// Netscape bookmark files (an HTML subset browsers export): the reader and writer of the
// format, the codec of the Netscape row of formats/format_table.cpp.

#include <cstddef>
#include <memory>

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// Appends the entries of the set's open file after its cursor and takes the set's title
// from it; statusText, when given, shows the line being read. Every text is borrowed from
// the file (SetStorage::TakeRest). Returns 0 for a file without a single line.
// A file of more than a few megabytes is read in two parts at once.
int ReadNetscape(SetStorage& storage, TextControl* statusText);
// Reads as ReadNetscape does, its later part beginning at the first line from laterFrom on
// that begins with a link or folder, whatever the file's size (for tests, which choose where).
// *laterBegan is where the later part began, or npos when the file was read in one part.
int ReadNetscapeInParts(SetStorage& storage, TextControl* statusText, std::size_t laterFrom, std::size_t* laterBegan);
// Opens a stream over the set's open file (which it takes from storage) that appends its
// entries a batch at a time as a writer walks the set (UrlSet::RefillFrom), having read the
// header and the first batch, on to the first link; statusText, when given, shows the lines of
// that batch. Null when the file cannot be read; the caller says so.
std::unique_ptr<SetStream> StreamNetscape(SetStorage& storage, TextControl* statusText);
// The same in batches of about batchBytes (for tests, which choose where batches end).
std::unique_ptr<SetStream> StreamNetscapeInBatches(SetStorage& storage, TextControl* statusText,
                                                   std::size_t batchBytes);
// Writes the set to its open file from the file's start, with CRLF line ends.
int WriteNetscape(SetStorage& storage);

}  // namespace tolva
