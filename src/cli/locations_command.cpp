#include <cstdio>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/format_options.h"
#include "formats/format_table.h"
#include "locations/store_locations.h"

namespace tolva::cli {

namespace {

constexpr int kExitFound = 0;
constexpr int kExitNoneFound = 1;

}  // namespace

// The sets the pages' location lists offer, found where programs keep them, one per line with
// its format's name, so that a script can pick a store or a backup as a person picks one.
CommandHandler AddLocationsCommand(CLI::App& app) {
    auto format = std::make_shared<std::string>();
    CLI::App* command = app.add_subcommand(
        "locations", "List the URL sets found where programs keep them, as the desktop program's location lists do");
    command->add_option("--format", *format, std::string("Only sets of this format: ") + FormatNameList())
        ->check(CheckFormatName);
    command->footer(
        "Each line is a format's name, a tab and a location: browsers' stores, Firefox's bookmark backups (the newest "
        "first), Netscape's file and the Favorites folders of mounted Windows partitions.\nExit status: 0 when a set "
        "was found, 1 when none was, 2 for a usage error.");
    return [format] {
        const StorePlaces places = StorePlaces::OfPerson();
        int found = 0;
        for (const FormatTableRow& row : FormatTable()) {
            if (!format->empty() && row.name != *format) continue;
            for (const std::string& location : FindStoreLocations(row.format, places)) {
                std::printf("%.*s\t%s\n", static_cast<int>(row.name.size()), row.name.data(), location.c_str());
                ++found;
            }
        }
        std::fflush(stdout);
        return found > 0 ? kExitFound : kExitNoneFound;
    };
}

}  // namespace tolva::cli
