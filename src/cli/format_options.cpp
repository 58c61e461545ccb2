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

void AddConversionFlags(CLI::App& command, bool& fixAmpersands, bool& restoreNames, bool& yes, bool& no) {
    command.add_flag("--fix-ampersands,!--no-fix-ampersands", fixAmpersands,
                     "Collapse or double ampersands between shortcut names and the other formats (on by default)");
    command.add_flag("--restore-names,!--no-restore-names", restoreNames,
                     "From shortcuts, give entries back the names they had before a translation made them file "
                     "names, unless renamed since (on by default)");
    CLI::Option* yesFlag = command.add_flag("--yes", yes, "Answer Yes to every question");
    command.add_flag("--no", no, "Answer No to every question")->excludes(yesFlag);
}

}  // namespace tolva::cli
