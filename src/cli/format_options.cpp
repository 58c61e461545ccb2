#include "cli/format_options.h"

#include "cli/terminal.h"
#include "formats/format_guess.h"
#include "formats/format_table.h"

namespace tolva::cli {

namespace {

std::string BasisText(GuessBasis basis) {
    switch (basis) {
        case GuessBasis::Folder:
            return "it is a folder";
        case GuessBasis::Name:
            return "from its name";
        case GuessBasis::FirstBytes:
            return "from its first bytes";
        case GuessBasis::None:
            break;
    }
    return {};
}

}  // namespace

bool GuessMissingFormat(Terminal& terminal, std::string& name, const std::string& location, bool existing,
                        const std::string& option) {
    if (!name.empty() || location.empty()) return true;
    const FormatGuess guess = existing ? GuessSourceFormat(location) : GuessDestinationFormat(location);
    if (guess.format == UrlSetFormat::None) {
        terminal.Note("tolva-cli: the format of " + location + " cannot be told from its " +
                      (existing ? "name or first bytes" : "name") + "; give " + option + " (" + FormatNameList() + ")");
        return false;
    }
    name = FormatName(guess.format);
    terminal.Note("tolva-cli: " + location + " is taken as " + name + " (" + BasisText(guess.basis) + ")");
    return true;
}

std::string CheckFormatName(const std::string& name) {
    if (name.empty() || FormatNamed(name) != UrlSetFormat::None) return {};
    return "unknown format '" + name + "' (use " + FormatNameList() + ")";
}

std::vector<std::string> FormatNames() {
    std::vector<std::string> names;
    for (const FormatTableRow& row : FormatTable()) names.emplace_back(row.name);
    return names;
}

}  // namespace tolva::cli
