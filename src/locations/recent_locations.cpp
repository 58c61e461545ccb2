#include "locations/recent_locations.h"

#include <algorithm>

#include "formats/format_table.h"
#include "model/url_set.h"
#include "platform/ascii.h"
#include "resources/strings.h"

namespace tolva {

namespace {

constexpr char kUserHive[] = "HKEY_CURRENT_USER\\";

}  // namespace

bool IsBackupLocation(const std::string& location) {
    const std::string_view suffix = kBackupSuffix;
    return location.size() > suffix.size() &&
           EqualsIgnoringAsciiCase(std::string_view(location).substr(location.size() - suffix.size()), suffix);
}

std::string RecentLocationsKey(RecentPage page, UrlSetFormat format) {
    if (FormatRowOf(format) == nullptr) return {};
    const int base = page == RecentPage::Translate ? IDS_RECENT_TRANSLATE_BASE
                     : page == RecentPage::Verify  ? IDS_RECENT_VERIFY_BASE
                                                   : IDS_RECENT_MERGE_BASE;
    std::string path = LoadString(base + static_cast<int>(format));
    if (path.empty()) return {};
    return kUserHive + path;
}

bool LoadRecentLocations(SettingsStore& store, RecentPage page, UrlSetFormat format, LocationBox& box) {
    box.SetEntries({});
    box.SetText({});
    std::string key = RecentLocationsKey(page, format);
    if (key.empty() || !store.KeyExists(key)) return false;
    std::vector<std::string> entries;
    for (std::size_t i = 0; i < kMaxRecentLocations; ++i) {
        std::string location;
        if (store.GetString(key, std::to_string(i), location) && location.size() <= kMaxLocationLength &&
            !IsBackupLocation(location)) {
            entries.push_back(location);
        }
    }
    box.SetEntries(entries);
    box.SetText(entries.empty() ? std::string() : entries.front());
    return true;
}

void NoteLocation(SettingsStore& store, RecentPage page, UrlSetFormat format, LocationBox& box,
                  const std::string& location) {
    if (IsBackupLocation(location)) return;
    std::vector<std::string> entries = box.Entries();
    auto same = std::find_if(entries.begin(), entries.end(),
                             [&](const std::string& entry) { return EqualsIgnoringAsciiCase(entry, location); });
    if (same != entries.end()) entries.erase(same);
    entries.insert(entries.begin(), location);
    box.SetEntries(entries);

    std::string key = RecentLocationsKey(page, format);
    if (key.empty()) return;
    store.CreateKey(key);
    std::size_t stored = std::min(entries.size(), kMaxRecentLocations);
    for (std::size_t i = 0; i < stored; ++i) store.SetString(key, std::to_string(i), entries[i]);
    // A list that got shorter leaves nothing behind it: an old tail would come back on the
    // next load as entries the person never chose again.
    for (std::size_t i = stored; i < kMaxRecentLocations; ++i) store.DeleteValue(key, std::to_string(i));
}

void RememberLocation(SettingsStore& store, RecentPage page, UrlSetFormat format, LocationBox& box,
                      const std::string& location) {
    NoteLocation(store, page, format, box, location);
    store.Save();
}

}  // namespace tolva
