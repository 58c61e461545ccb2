#pragma once
// Where a person's programs keep their URL sets on Linux, offered by the pages' location boxes
// and pickers: Firefox's places.sqlite of every profile (the usual, Flatpak and Snap
// installations), the Bookmarks file of every profile of the Chromium family, KDE's places
// and Konqueror's bookmarks (XBEL), Netscape's file, and the Favorites folders of a Windows
// partition that is mounted. Only places known by name are looked at, a folder or two deep,
// so the search stays cheap enough to run whenever a format is chosen.

#include <string>
#include <vector>

#include "model/set_kinds.h"

namespace tolva {

// Where to look: the person's home folder and the folders under which removable and other
// partitions are mounted.
struct StorePlaces {
    std::string home;
    std::vector<std::string> mountRoots;

    // The person's own: HomeFolder(), and /media/<user>, /run/media/<user> and /mnt.
    static StorePlaces OfPerson();
};

// The existing sets of format found in places, in a stable order (by program, then profile),
// as full paths; empty for a format no program keeps on Linux (Mosaic).
std::vector<std::string> FindStoreLocations(UrlSetFormat format, const StorePlaces& places);

}  // namespace tolva
