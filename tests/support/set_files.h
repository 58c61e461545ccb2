#pragma once
// A URL set read and written the way the runs do, for tests of the formats.

#include <cstdint>
#include <ostream>
#include <string>

#include "formats/set_storage.h"
#include "model/url_set.h"

namespace tolva {

// Formats and kinds show as their numbers in a failing test's message.
inline std::ostream& operator<<(std::ostream& out, UrlSetFormat format) { return out << static_cast<int>(format); }
inline std::ostream& operator<<(std::ostream& out, UrlEntryKind kind) { return out << static_cast<int>(kind); }

}  // namespace tolva

namespace tolva::testing {

// The name ending of a set's file in format: none for a shortcut folder.
inline const char* Extension(UrlSetFormat format) {
    switch (format) {
        case UrlSetFormat::Netscape:
            return ".html";
        case UrlSetFormat::Mosaic:
            return ".hot";
        case UrlSetFormat::Xbel:
            return ".xbel";
        case UrlSetFormat::Chromium:
            return ".json";
        case UrlSetFormat::Firefox:
            return ".sqlite";
        case UrlSetFormat::FirefoxBackup:
            return ".jsonlz4";
        default:
            return "";
    }
}

// Opens the set at location, reads it and releases the file. Returns the reader's result, or
// -1 when the set cannot be opened.
int ReadSet(SetStorage& storage, UrlSetFormat format, const std::string& location, TextControl* status = nullptr);
// Writes the set as a new file, or for shortcuts into the folder at location, which exists
// already. Returns the writer's result, or -1 when the file cannot be created.
int WriteSet(SetStorage& storage, UrlSetFormat format, const std::string& location);
// The same through a storage of their own, for a set whose storage needs no settings.
int ReadSet(UrlSet& set, UrlSetFormat format, const std::string& location, TextControl* status = nullptr);
int WriteSet(UrlSet& set, UrlSetFormat format, const std::string& location);

}  // namespace tolva::testing
