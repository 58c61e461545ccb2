#pragma once
// The contract between a URL set and the units that read and write its formats. The set
// opens, reads and writes through the codec of its format and knows no format itself; each
// format is one unit in formats/ and one row of the table there (formats/format.cpp), which
// is what provides CodecFor. A new format is a new unit, a new row and a new UrlSetFormat.

#include <cstdint>

#include "model/set_kinds.h"
#include "platform/person.h"

namespace tolva {

class UrlSet;

// Where a format keeps a set.
enum class FormatStorage {
    // One file: opened by the set, read through its line reader, and when it exists already
    // saved through a temporary file that replaces it.
    File,
    // A folder tree the format's reader and writer walk themselves.
    Folder,
};

struct FormatCodec {
    UrlSetFormat format;
    FormatStorage storage;
    // Appends the set's entries after its cursor, with statusText (may be null) telling how
    // far it got, and leaves the cursor null. Returns 0 when nothing could be read.
    int (*read)(UrlSet& set, TextControl* statusText);
    // Writes every entry of the set to its open file or to its location. Returns 0 after a
    // failure, which it has shown.
    int (*write)(UrlSet& set);
};

// The codec of format, or null for a format that has none. Provided by the formats layer.
const FormatCodec* CodecFor(UrlSetFormat format);

}  // namespace tolva
