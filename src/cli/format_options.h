#pragma once
// The format options of the commands: names checked against the format table, and a format
// left out guessed from the location, with a note on the terminal that says which was taken.

#include <CLI/CLI.hpp>

#include <string>
#include <vector>

namespace tolva::cli {

class Terminal;

// Fills an empty format name from location (an existing set's when existing, else a new
// one's) and says on the terminal which it chose. False, said why and which option names
// the formats, when the location cannot be placed. A name given, or an empty location (which
// the run reports as the page does), is left as it is.
bool GuessMissingFormat(Terminal& terminal, std::string& name, const std::string& location, bool existing,
                        const std::string& option);

// CLI11's check of a format name: empty text when name is a format's name or empty (no format
// chosen, which the run itself reports, as the page does), else the usage error.
std::string CheckFormatName(const std::string& name);
// Every format's command-line name, in the table's order.
std::vector<std::string> FormatNames();

// The flags of a command that converts sets as a translation does: --fix-ampersands and
// --restore-names (each with its --no- form), and --yes or --no for its questions.
void AddConversionFlags(CLI::App& command, bool& fixAmpersands, bool& restoreNames, bool& yes, bool& no);

}  // namespace tolva::cli
