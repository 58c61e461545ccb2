#pragma once
// The format of a location the command line was given without one: from its name (a folder:
// shortcuts; .html/.htm: netscape; .hot: mosaic; .xbel: xbel; places.sqlite: firefox; a JSON
// file named Bookmarks: chromium) and, where the name does not say, from the first bytes.

#include <string>

#include "model/set_kinds.h"

namespace tolva::cli {

struct FormatGuess {
    UrlSetFormat format = UrlSetFormat::None;
    // How it was found ("from its name", "from its first bytes"), for the note that says so.
    std::string how;
};

// An existing set's format. None when neither the name nor the bytes tell.
FormatGuess GuessSourceFormat(const std::string& location);
// A new set's format, from its name alone (or an existing folder). None when it does not tell.
FormatGuess GuessDestinationFormat(const std::string& location);
// The command-line name of format ("xbel").
std::string FormatName(UrlSetFormat format);

class Terminal;
// Fills an empty format name from location (an existing set's when existing, else a new
// one's) and says on the terminal which it chose. False, said why and which option names
// the formats, when the location cannot be placed. A name given, or an empty location (which
// the run reports as the page does), is left as it is.
bool GuessMissingFormat(Terminal& terminal, std::string& name, const std::string& location, bool existing,
                        const std::string& option);

}  // namespace tolva::cli
