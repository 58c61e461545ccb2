#pragma once
// Why a set's file or folder could not be used, in words a person can act on: the errno of a
// failed open, create or save turned into the message that names its cause (no permission, a
// read-only or missing folder, a folder where a file belongs), and a file whose first bytes show
// another format, or nothing of any, named for what it is. The one place where these errno
// values become the program's messages.

#include <string>
#include <string_view>

#include "model/set_kinds.h"

namespace tolva {

// What was being done with the set's location when it failed.
enum class StorageStep {
    Open,      // an existing set opened to read
    Create,    // a new set's file or folder made
    SaveBack,  // a set saved over the file it was read from
    // A shortcut folder saved back into itself, file by file: the location is the folder.
    SaveBackFolder,
    // One shortcut file written in a shortcut folder: the location is the file's path.
    WriteShortcut,
};

// The message for step failing on location with errnoValue. Open falls back on "not found",
// Create, SaveBack and the shortcut steps on the system error code. ENOTDIR on Open says the location is a file
// where a folder was expected.
std::string StorageFailureText(StorageStep step, int errnoValue, const std::string& location);

// The format's name in a sentence: its format box's text without the notes in parentheses.
std::string FormatTitle(UrlSetFormat format);

// For a file chosen as format whose first bytes show nothing of it but another format's own
// signature: the message naming the format it is in. Empty when the bytes do not say so.
std::string OtherFormatText(UrlSetFormat format, std::string_view firstBytes, const std::string& location);

}  // namespace tolva
