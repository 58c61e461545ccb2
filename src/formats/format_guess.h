#pragma once
// The format of a location given without one, as the format table's rows describe their
// files: a folder holds a folder format, a file's name says its format by its extension or by
// the name its owner gives it, and where the name does not say, its first bytes may.

#include <string>
#include <string_view>

#include "model/set_kinds.h"

namespace tolva {

// What told a location's format, for a note that says so.
enum class GuessBasis {
    None,
    Folder,
    Name,
    FirstBytes,
};

struct FormatGuess {
    UrlSetFormat format = UrlSetFormat::None;
    GuessBasis basis = GuessBasis::None;
};

// An existing set's format. None when neither its name nor its first bytes tell.
FormatGuess GuessSourceFormat(const std::string& location);
// A new set's format, from its name alone (or an existing folder, or a name ending in a
// separator). None when it does not tell.
FormatGuess GuessDestinationFormat(const std::string& location);
// The format bytes (a file's start) most look like; None when no row knows them.
UrlSetFormat FormatOfFirstBytes(std::string_view bytes);

}  // namespace tolva
