#include "locations/store_locations.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string_view>
#include <system_error>

#include "locations/default_locations.h"
#include "platform/profile_file.h"

namespace tolva {

namespace {

namespace fs = std::filesystem;

// Firefox's profile lists, in the usual installation, Flatpak's and Snap's.
constexpr std::string_view kFirefoxFolders[] = {
    ".mozilla/firefox",
    ".var/app/org.mozilla.firefox/.mozilla/firefox",
    "snap/firefox/common/.mozilla/firefox",
};
// The configuration folders of the Chromium family; each profile is a folder inside one.
constexpr std::string_view kChromiumFolders[] = {
    ".config/chromium", ".config/google-chrome", ".config/microsoft-edge", ".config/BraveSoftware/Brave-Browser",
    ".config/vivaldi",
};
constexpr std::string_view kXbelFiles[] = {".local/share/user-places.xbel", ".local/share/konqueror/bookmarks.xml"};
// profiles.ini numbers its profiles from 0 without gaps; a gap or this many ends the list.
constexpr int kMaxFirefoxProfiles = 64;

bool IsFile(const fs::path& path) {
    std::error_code error;
    return fs::is_regular_file(path, error);
}

bool IsFolder(const fs::path& path) {
    std::error_code error;
    return fs::is_directory(path, error);
}

// The folders directly inside folder, sorted so that the offer does not depend on the file
// system's order.
std::vector<fs::path> SubFolders(const fs::path& folder) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator at(folder, error), end; !error && at != end; at.increment(error)) {
        if (IsFolder(at->path())) found.push_back(at->path());
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The profile folders a Firefox profile list names, each once.
void AddFirefoxProfiles(std::vector<fs::path>& profileFolders, const fs::path& folder) {
    ProfileFile profiles;
    if (!profiles.Load((folder / "profiles.ini").string())) return;
    for (int i = 0; i < kMaxFirefoxProfiles; ++i) {
        const std::string section = "Profile" + std::to_string(i);
        if (!profiles.HasKey(section, "Path")) break;
        const std::string path = profiles.GetString(section, "Path", {}, ProfileFile::kWholeValue);
        if (path.empty()) continue;
        // A relative path (IsRelative=1, Firefox's own default) is inside the list's folder.
        const bool relative = profiles.GetString(section, "IsRelative", "1") != "0";
        const fs::path profile = relative ? folder / path : fs::path(path);
        if (std::find(profileFolders.begin(), profileFolders.end(), profile) == profileFolders.end())
            profileFolders.push_back(profile);
    }
}

// Firefox keeps a bookmark backup a day in its profile's bookmarkbackups folder, named
// "bookmarks-<date>_<count>_<hash>.jsonlz4"; the newest is offered first.
void AddFirefoxBackups(std::vector<std::string>& found, const fs::path& profile) {
    std::vector<std::string> backups;
    std::error_code error;
    for (fs::directory_iterator at(profile / "bookmarkbackups", error), end; !error && at != end;
         at.increment(error)) {
        const fs::path& path = at->path();
        if ((path.extension() == ".jsonlz4" || path.extension() == ".json") && IsFile(path))
            backups.push_back(path.string());
    }
    std::sort(backups.begin(), backups.end(), std::greater<>());
    found.insert(found.end(), backups.begin(), backups.end());
}

// A Windows partition keeps each account's Favorites in Users/<account>/Favorites; it may be
// mounted as a mount root itself (/mnt) or as a folder inside one (/media/ann/Windows).
void AddWindowsFavorites(std::vector<std::string>& found, const fs::path& partition) {
    const fs::path users = partition / "Users";
    if (!IsFolder(users)) return;
    for (const fs::path& account : SubFolders(users)) {
        if (IsFolder(account / "Favorites")) found.push_back((account / "Favorites").string());
    }
}

std::string UserName() {
    if (const passwd* account = getpwuid(getuid()); account != nullptr && account->pw_name != nullptr) {
        return account->pw_name;
    }
    const char* user = std::getenv("USER");
    return user ? user : "";
}

}  // namespace

StorePlaces StorePlaces::OfPerson() {
    StorePlaces places;
    places.home = HomeFolder();
    const std::string user = UserName();
    if (!user.empty()) {
        places.mountRoots.push_back("/media/" + user);
        places.mountRoots.push_back("/run/media/" + user);
    }
    places.mountRoots.emplace_back("/mnt");
    return places;
}

std::vector<std::string> FindStoreLocations(UrlSetFormat format, const StorePlaces& places) {
    std::vector<std::string> found;
    const fs::path home(places.home);
    const bool haveHome = !places.home.empty();
    switch (format) {
        case UrlSetFormat::Netscape:
            if (haveHome && IsFile(home / ".netscape/bookmarks.html")) {
                found.push_back((home / ".netscape/bookmarks.html").string());
            }
            break;
        case UrlSetFormat::Shortcuts:
            for (const std::string& root : places.mountRoots) {
                AddWindowsFavorites(found, root);
                for (const fs::path& partition : SubFolders(root)) AddWindowsFavorites(found, partition);
            }
            break;
        case UrlSetFormat::Xbel:
            for (std::string_view file : kXbelFiles) {
                if (haveHome && IsFile(home / file)) found.push_back((home / file).string());
            }
            break;
        case UrlSetFormat::Chromium:
            for (std::string_view browser : kChromiumFolders) {
                if (!haveHome) break;
                // A signed-in account's bookmarks are kept apart, beside the profile's own.
                for (const fs::path& profile : SubFolders(home / browser)) {
                    for (const char* file : {"Bookmarks", "AccountBookmarks"}) {
                        if (IsFile(profile / file)) found.push_back((profile / file).string());
                    }
                }
            }
            break;
        case UrlSetFormat::Firefox:
        case UrlSetFormat::FirefoxBackup: {
            std::vector<fs::path> profiles;
            for (std::string_view folder : kFirefoxFolders) {
                if (haveHome) AddFirefoxProfiles(profiles, home / folder);
            }
            for (const fs::path& profile : profiles) {
                if (format == UrlSetFormat::FirefoxBackup) {
                    AddFirefoxBackups(found, profile);
                } else if (IsFile(profile / "places.sqlite")) {
                    found.push_back((profile / "places.sqlite").string());
                }
            }
            break;
        }
        default:
            break;
    }
    return found;
}

}  // namespace tolva
