#pragma once
// The file and folder choosers behind the pages' Browse buttons. Each returns the chosen
// location, or the current one unchanged when the person cancels.

#include <cstdint>
#include <string>
#include <vector>

#include "locations/store_locations.h"
#include "model/set_kinds.h"

class QFileDialog;

namespace tolva {

class Prompter;

// What a chooser picks a location for: its title says so, and a set to build gets a Save
// button instead of Open.
enum class ChooserPurpose {
    Translate,    // a set to read and translate
    Destination,  // a set to build
    Verify,       // a set to verify
    Merge,        // one of the sets to merge
};

// What Browse does on either page: the chooser that fits the set's format, offering the sets
// of that format found in places. Without a format it tells the person to choose one first
// and returns empty text.
std::string BrowseForLocation(UrlSetFormat format, ChooserPurpose purpose, const std::string& currentLocation,
                              Prompter& prompter, const StorePlaces& places);

// The file a report is saved to: JSON or CSV by the filter chosen; titleId names the report in
// the chooser's title. Empty when the person cancels. Opens beside nearLocation when it names a
// file in a folder that exists.
std::string ChooseReportFile(const std::string& nearLocation, int titleId);

// Picks a bookmark file or hotlist; a name typed without an extension gets the format's own
// ("htm" or "hot"). The file need not exist: the same chooser names a set to build. The
// folders of offered files are places in its side bar (a browser keeps its store in a hidden
// folder), and the first is where it opens when there is no current location.
std::string BrowseForUrlSetFile(UrlSetFormat format, ChooserPurpose purpose, const std::string& currentLocation,
                                const std::vector<std::string>& offered = {});
// Picks a folder of shortcut files; a new folder may be named inside one that exists. The
// offered folders are places in its side bar.
std::string BrowseForShortcutFolder(ChooserPurpose purpose, const std::string& currentLocation,
                                    const std::vector<std::string>& offered = {});

// How the two choosers are set up; tests look at them without showing them.
// The file chooser shows format's filter first, chosen; the other formats' and all files follow.
void ConfigureUrlSetFileDialog(QFileDialog& dialog, UrlSetFormat format, ChooserPurpose purpose,
                               const std::string& currentLocation, const std::vector<std::string>& offered = {});
void ConfigureShortcutFolderDialog(QFileDialog& dialog, ChooserPurpose purpose,
                                   const std::vector<std::string>& offered = {});

}  // namespace tolva
