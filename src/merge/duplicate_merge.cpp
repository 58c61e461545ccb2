#include "merge/duplicate_merge.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "formats/store_fields.h"
#include "platform/ascii.h"

namespace tolva {

namespace {

using Attributes = std::vector<std::pair<std::string, std::string>>;

enum class DateChoice { Earliest, Latest };

std::optional<DateChoice> DateRule(std::string_view name) {
    if (EqualsIgnoringAsciiCase(name, store::kAddDate)) return DateChoice::Earliest;
    if (EqualsIgnoringAsciiCase(name, store::kLastModified) || EqualsIgnoringAsciiCase(name, store::kLastVisit))
        return DateChoice::Latest;
    return std::nullopt;
}

// The marks that say which of a browser's own folders a folder was read from.
bool IsFolderMark(std::string_view name) {
    return EqualsIgnoringAsciiCase(name, store::kToolbarFolder) ||
           EqualsIgnoringAsciiCase(name, store::kUnfiledFolder) || EqualsIgnoringAsciiCase(name, store::kChromiumRoot);
}

std::vector<std::string_view> SplitTags(std::string_view tags) {
    std::vector<std::string_view> split;
    while (!tags.empty()) {
        const std::size_t comma = tags.find(',');
        std::string_view tag = tags.substr(0, comma);
        while (!tag.empty() && tag.front() == ' ') tag.remove_prefix(1);
        while (!tag.empty() && tag.back() == ' ') tag.remove_suffix(1);
        if (!tag.empty()) split.push_back(tag);
        if (comma == std::string_view::npos) break;
        tags.remove_prefix(comma + 1);
    }
    return split;
}

// kept's tags followed by those of other it lacks; false when other adds none.
bool UniteTags(std::string& kept, std::string_view other) {
    std::vector<std::string> added;
    {
        const std::vector<std::string_view> have = SplitTags(kept);
        for (std::string_view tag : SplitTags(other)) {
            if (std::ranges::find(have, tag) == have.end() && std::ranges::find(added, tag) == added.end())
                added.emplace_back(tag);
        }
    }
    for (const std::string& tag : added) {
        if (!kept.empty()) kept += ',';
        kept += tag;
    }
    return !added.empty();
}

// other's value of a date in place of kept's when the rule prefers it; false when it does not.
bool MergeDate(std::string& kept, const std::string& other, DateChoice choice) {
    const auto mine = store::ParseSeconds(kept);
    const auto theirs = store::ParseSeconds(other);
    if (!theirs) return false;
    const bool better = !mine || (choice == DateChoice::Earliest ? *theirs < *mine : *theirs > *mine);
    if (better) kept = other;
    return better;
}

void MergeAttributes(UrlEntry& kept, const UrlEntry& other) {
    if (other.extraAttributes.empty()) return;
    const bool folder = kept.kind == UrlEntryKind::FolderStart;
    Attributes theirs = store::KeptAttributes(other.extraAttributes);
    if (folder) std::erase_if(theirs, [](const auto& pair) { return IsFolderMark(pair.first); });
    if (theirs.empty()) return;
    if (kept.extraAttributes.empty()) {
        if (!folder) {
            kept.extraAttributes = other.extraAttributes;
            return;
        }
        std::string text;
        for (const auto& [name, value] : theirs) store::AddKeptAttribute(text, name, value);
        kept.extraAttributes = text;
        return;
    }
    Attributes mine = store::KeptAttributes(kept.extraAttributes);
    bool changed = false;
    for (const auto& attribute : theirs) {
        const std::string& name = attribute.first;
        const std::string& value = attribute.second;
        const auto same = std::ranges::find_if(
            mine, [&name](const auto& pair) { return EqualsIgnoringAsciiCase(pair.first, name); });
        if (same == mine.end()) {
            mine.emplace_back(name, value);
            changed = true;
        } else if (const auto rule = DateRule(name)) {
            changed |= MergeDate(same->second, value, *rule);
        } else if (EqualsIgnoringAsciiCase(name, store::kTags)) {
            changed |= UniteTags(same->second, value);
        }
    }
    if (!changed) return;
    std::string text;
    for (const auto& [name, value] : mine) store::AddKeptAttribute(text, name, value);
    kept.extraAttributes = text;
}

void MergeDescription(UrlEntry& kept, const UrlEntry& other) {
    const std::string_view theirs = other.description.view();
    if (theirs.empty()) return;
    if (kept.description.empty()) {
        kept.description = other.description;
        return;
    }
    // Three sets that share one description join it once.
    if (kept.description.view().find(theirs) != std::string_view::npos) return;
    std::string joined = kept.description.str();
    joined += '\n';
    joined += theirs;
    kept.description = joined;
}

}  // namespace

void MergeDuplicateInto(UrlEntry& kept, const UrlEntry& other) {
    MergeAttributes(kept, other);
    MergeDescription(kept, other);
}

}  // namespace tolva
