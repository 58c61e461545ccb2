#pragma once
// The file and folder choosers behind the pages' Browse buttons. Each returns the chosen
// location, or the current one unchanged when the person cancels.

#include <cstdint>
#include <string>

#include "model/set_kinds.h"

class QFileDialog;

namespace tolva {

class Prompter;

// What Browse does on either page: the chooser that fits the set's format. Without a format
// it tells the person to choose one first and returns empty text.
std::string BrowseForLocation(UrlSetFormat format, const std::string& currentLocation, Prompter& prompter);

// Picks a bookmark file or hotlist; a name typed without an extension gets defaultExtension
// ("htm" or "hot"). The file need not exist: the same chooser names a set to build.
std::string BrowseForUrlSetFile(const std::string& currentLocation, const std::string& defaultExtension);
// Picks a folder of shortcut files; a new folder may be named inside one that exists.
std::string BrowseForShortcutFolder(const std::string& currentLocation);

// How the two choosers are set up; tests look at them without showing them.
void ConfigureUrlSetFileDialog(QFileDialog& dialog, const std::string& currentLocation,
                               const std::string& defaultExtension);
void ConfigureShortcutFolderDialog(QFileDialog& dialog);

}  // namespace tolva
