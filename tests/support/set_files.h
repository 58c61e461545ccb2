#pragma once
// A URL set read and written the way the runs do, for tests of the formats.

#include <cstdint>
#include <string>

#include "model/url_set.h"

namespace tolva::testing {

// The name ending of a set's file in format: none for a shortcut folder.
inline const char* Extension(std::int32_t format) {
    return format == Netscape ? ".html" : format == Mosaic ? ".hot" : "";
}

// Opens the set at location, reads it and releases the file. Returns the reader's result, or
// -1 when the set cannot be opened.
int ReadSet(UrlSet& set, std::int32_t format, const std::string& location, TextControl* status = nullptr);
// Writes the set as a new file, or for shortcuts into the folder at location, which exists
// already. Returns the writer's result, or -1 when the file cannot be created.
int WriteSet(UrlSet& set, std::int32_t format, const std::string& location);

}  // namespace tolva::testing
