#include "locations/default_locations.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "locations/store_locations.h"
#include "resources/strings.h"

namespace tolva {

namespace {

constexpr char kCurrentUser[] = "HKEY_CURRENT_USER\\";
// Longest value the look-ups read, as their fixed buffers did; a longer one cannot be read
// whole and counts as missing rather than being cut into a wrong path.
constexpr std::size_t kMaxValueLength = 255;

std::string UserKey(int id) { return kCurrentUser + LoadString(id); }

}  // namespace

std::string FindNetscapeBookmarkFile(const SettingsStore& store, const std::string& homeDir) {
    const std::string key = UserKey(IDS_NETSCAPE_BOOKMARK_KEY);
    if (!store.KeyExists(key)) {
        if (homeDir.empty()) return {};
        std::filesystem::path file = std::filesystem::path(homeDir) / ".netscape" / "bookmarks.html";
        std::error_code error;
        return std::filesystem::is_regular_file(file, error) ? file.string() : std::string();
    }
    std::string value;
    if (!store.GetString(key, "File Location", value) || value.size() > kMaxValueLength) return {};
    return value;
}

std::string FindFavoritesFolder(const SettingsStore& store, const std::vector<std::string>& mountRoots) {
    std::string value;
    if (store.GetString(UserKey(IDS_SHELL_FOLDERS_KEY), "Favorites", value) && value.size() <= kMaxValueLength) {
        return value;
    }
    StorePlaces places;
    places.mountRoots = mountRoots;
    for (const std::string& folder : FindStoreLocations(UrlSetFormat::Shortcuts, places)) {
        if (folder.size() <= kMaxValueLength) return folder;
    }
    return LoadString(IDS_NO_FAVORITES_FOUND);
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') return home;
    if (const passwd* account = getpwuid(getuid()); account != nullptr && account->pw_dir != nullptr) {
        return account->pw_dir;
    }
    return {};
}

}  // namespace tolva
