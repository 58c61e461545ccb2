#include "support/outline.h"

namespace tolva::testing {

std::string OutlineLine(const UrlEntry& entry, const std::string& path) {
    const char letter = entry.kind >= FolderStart && entry.kind <= Separator ? "?FELS"[entry.kind] : '?';
    if (entry.kind != Link) return std::string(1, letter) + " " + path;
    return "L " + path + " | " + entry.name + " | " + entry.url + " |" + entry.extraAttributes + " | " +
           entry.preservedName + " | " + entry.preservedLocation;
}

std::vector<std::string> Outline(UrlSet& set) {
    std::vector<std::string> lines;
    set.Rewind();
    while (UrlEntry* entry = set.Next()) lines.push_back(OutlineLine(*entry, set.GetCurrentPath()));
    return lines;
}

std::vector<std::string> BriefOutline(UrlSet& set) {
    std::vector<std::string> lines;
    set.Rewind();
    while (UrlEntry* entry = set.Next()) {
        std::string line = std::to_string(entry->kind) + " " + entry->name + " " + entry->url;
        if (!entry->preservedName.empty()) line += " name=" + entry->preservedName;
        if (!entry->preservedLocation.empty()) line += " loc=" + entry->preservedLocation;
        lines.push_back(line);
    }
    return lines;
}

}  // namespace tolva::testing
