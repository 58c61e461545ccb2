#pragma once
// Where other programs keep a URL set, offered by the Translate page's quick buttons as the
// starting location of a format that has never been used there. Both look-ups read the
// settings store under the keys Windows used; on Linux Netscape kept its bookmarks in
// ~/.netscape/bookmarks.html, which serves when the store knows nothing, and a Windows
// partition mounted beside Linux holds Favorites folders.

#include <string>
#include <vector>

#include "platform/settings_store.h"

namespace tolva {

// The "File Location" value of Netscape's "Bookmark List" key. Without that key, the file
// <homeDir>/.netscape/bookmarks.html when it exists; otherwise, and when the key exists
// without the value, empty text.
std::string FindNetscapeBookmarkFile(const SettingsStore& store, const std::string& homeDir);
// The "Favorites" value of the shell-folders key; without it, the first Favorites folder of a
// Windows partition mounted under one of mountRoots (see store_locations.h); else the hint
// text "No Favorites folder found.  Type a location here." which the caller shows in place of
// a path.
std::string FindFavoritesFolder(const SettingsStore& store, const std::vector<std::string>& mountRoots = {});

// The person's home folder ($HOME, else the account's), or empty text.
std::string HomeFolder();

}  // namespace tolva
