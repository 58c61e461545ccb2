#pragma once
// The contract between a set's storage and the units that read and write its formats. The
// storage (formats/set_storage.h) opens, reads and writes a set through the codec of its
// format; each format is one unit and one row of the format table (formats/format_table.h),
// whose rows hold the codecs CodecFor hands out. A new format is a new unit, a new row and a
// new UrlSetFormat.

#include <cstdint>
#include <memory>
#include <string>

#include "model/set_kinds.h"
#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// Where a format keeps a set.
enum class FormatStorage {
    // One file: opened by the set, read through its line reader, and when it exists already
    // saved through a temporary file that replaces it.
    File,
    // A folder tree the format's reader and writer walk themselves.
    Folder,
};

// Where a format's writer may put a set.
enum class FormatWriting {
    // A new file or folder, and back over the one the set was read from.
    Anywhere,
    // A new file only: the program that owns the file rewrites it from its own copy while it
    // runs, so a set saved over it would be lost or would undo the program's changes.
    NewFileOnly,
    // Nowhere: the format is read only.
    Never,
};

struct FormatCodec {
    UrlSetFormat format;
    FormatStorage storage;
    // Appends the entries of the storage's set after its cursor, with statusText (may be null)
    // telling how far it got, and leaves the cursor null. Returns 0 when nothing could be read.
    int (*read)(SetStorage& storage, TextControl* statusText);
    // Writes every entry of the set to its open file or to its location. Returns 0 after a
    // failure, which it has shown. Null for a format that is read only.
    int (*write)(SetStorage& storage);
    FormatWriting writing = FormatWriting::Anywhere;
    // Opens a stream over the set's open file, ready for its first batch; null after a
    // failure, which it has shown (statusText as for read). Null for a format only read whole.
    std::unique_ptr<SetStream> (*stream)(SetStorage& storage, TextControl* statusText) = nullptr;
    // Whether write walks the set once, forward, and looks at no entry but the one Next gave it
    // last: such a writer can be handed a set that is still being read.
    bool writesInOneWalk = false;
    // For a location that cannot be opened to read: the string-table id of a message that says
    // why better than "not found" (its text takes the location), or 0. Null when there is none.
    int (*missingMessage)(const std::string& location) = nullptr;
};

// The codec of format, or null for a format that has none. Provided by the formats layer.
const FormatCodec* CodecFor(UrlSetFormat format);

// Whether a set of format can be written at all, and back where it was read from.
inline bool FormatWritesNew(UrlSetFormat format) {
    const FormatCodec* codec = CodecFor(format);
    return codec != nullptr && codec->writing != FormatWriting::Never;
}
inline bool FormatWritesBack(UrlSetFormat format) {
    const FormatCodec* codec = CodecFor(format);
    return codec != nullptr && codec->writing == FormatWriting::Anywhere;
}

}  // namespace tolva
