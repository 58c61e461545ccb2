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

// What Browse does on either page: the chooser that fits the set's format, offering the sets
// of that format found in places. Without a format it tells the person to choose one first
// and returns empty text.
std::string BrowseForLocation(UrlSetFormat format, const std::string& currentLocation, Prompter& prompter,
                              const StorePlaces& places);

// Picks a bookmark file or hotlist; a name typed without an extension gets defaultExtension
// ("htm" or "hot"). The file need not exist: the same chooser names a set to build. The
// folders of offered files are places in its side bar (a browser keeps its store in a hidden
// folder), and the first is where it opens when there is no current location.
std::string BrowseForUrlSetFile(const std::string& currentLocation, const std::string& defaultExtension,
                                const std::vector<std::string>& offered = {});
// Picks a folder of shortcut files; a new folder may be named inside one that exists. The
// offered folders are places in its side bar.
std::string BrowseForShortcutFolder(const std::string& currentLocation, const std::vector<std::string>& offered = {});

// How the two choosers are set up; tests look at them without showing them.
void ConfigureUrlSetFileDialog(QFileDialog& dialog, const std::string& currentLocation,
                               const std::string& defaultExtension, const std::vector<std::string>& offered = {});
void ConfigureShortcutFolderDialog(QFileDialog& dialog, const std::vector<std::string>& offered = {});

}  // namespace tolva
