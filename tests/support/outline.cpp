#include "support/outline.h"

namespace tolva::testing {

std::string OutlineLine(const UrlEntry& entry, const std::string& path) {
    const int kind = static_cast<int>(entry.kind);
    const char letter = kind >= 1 && kind <= 4 ? "?FELS"[kind] : '?';
    // What only some files have shows only where it is: a folder's attributes, a description.
    const std::string description = entry.description.empty() ? "" : " <DD>" + entry.description;
    if (entry.kind != UrlEntryKind::Link) {
        const std::string attributes = entry.extraAttributes.empty() ? "" : " |" + entry.extraAttributes;
        return std::string(1, letter) + " " + path + attributes + description;
    }
    return "L " + path + " | " + entry.name + " | " + entry.url + " |" + entry.extraAttributes + " | " +
           entry.preservedName + " | " + entry.preservedLocation + description;
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
        std::string line = std::to_string(static_cast<int>(entry->kind)) + " " + entry->name + " " + entry->url;
        if (!entry->preservedName.empty()) line += " name=" + entry->preservedName;
        if (!entry->preservedLocation.empty()) line += " loc=" + entry->preservedLocation;
        lines.push_back(line);
    }
    return lines;
}

}  // namespace tolva::testing
