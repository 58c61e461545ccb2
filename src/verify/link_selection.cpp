#include "verify/link_selection.h"

#include <fnmatch.h>

#include <algorithm>

#include "resources/strings.h"
#include "verify/request_url.h"

namespace tolva {

namespace {

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kWhite = " \t\r\n\v\f";
    const std::size_t first = text.find_first_not_of(kWhite);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kWhite) - first + 1);
}

bool MatchesAnyPattern(const std::vector<std::string>& patterns, const std::string& url) {
    for (const std::string& pattern : patterns) {
        // No FNM_PATHNAME: a '*' spans slashes, so "*.example.com/*" covers a whole site.
        if (fnmatch(pattern.c_str(), url.c_str(), 0) == 0) return true;
    }
    return false;
}

}  // namespace

bool InFolderPath(std::string_view folderPath, std::string_view folder) {
    while (!folder.empty() && folder.back() == '\\') folder.remove_suffix(1);
    // The top level ("\" alone) holds everything.
    if (folder.empty()) return true;
    if (!folderPath.starts_with(folder)) return false;
    return folderPath.size() == folder.size() || folderPath[folder.size()] == '\\';
}

bool InUnverified(std::string_view folderPath) { return folderPath.starts_with(kUnverifiedPrefix); }

bool CarriesErrorText(const UrlEntry& entry) {
    return (entry.flags & NameCarriesErrorText) != 0 || ErrorTextAt(entry.GetName()) != std::string::npos;
}

std::vector<std::string> FoldersNotInSet(UrlSet& set, const std::vector<std::string>& folders) {
    std::vector<std::string> missing;
    for (const std::string& folder : folders) {
        std::string_view path = folder;
        // Spelled as InFolderPath takes it: a trailing backslash is ignored, "\" alone is the top.
        while (!path.empty() && path.back() == '\\') path.remove_suffix(1);
        if (!path.empty() && set.FindFolder(std::string(path)) == nullptr) missing.push_back(folder);
    }
    return missing;
}

LinkChoice ChooseLink(const VerifySettings& settings, const UrlEntry& entry, const std::string& folderPath,
                      const std::string& url) {
    if (IsSkippedScheme(SchemeOf(url))) return LinkChoice::OtherScheme;
    for (const std::string& folder : settings.skipFolders) {
        if (InFolderPath(folderPath, folder)) return LinkChoice::InSkippedFolder;
    }
    if (MatchesAnyPattern(settings.skipPatterns, url)) return LinkChoice::SkipPattern;
    if (settings.onlyUnverified && !InUnverified(folderPath) && !CarriesErrorText(entry)) {
        return LinkChoice::NotSetAside;
    }
    return LinkChoice::Test;
}

int SkipReasonId(LinkChoice choice) {
    switch (choice) {
        case LinkChoice::Test:
            break;
        case LinkChoice::OtherScheme:
            return IDS_SKIPPED_REASON;
        case LinkChoice::InSkippedFolder:
            return IDS_SKIPPED_FOLDER_REASON;
        case LinkChoice::SkipPattern:
            return IDS_SKIPPED_PATTERN_REASON;
        case LinkChoice::NotSetAside:
            return IDS_SKIPPED_NOT_SET_ASIDE_REASON;
    }
    return 0;
}

SkipList ParseSkipList(std::string_view text) {
    SkipList list;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(';'), text.size());
        const std::string_view item = Trimmed(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
        if (item.empty()) continue;
        if (item.front() == '\\') {
            list.folders.emplace_back(item);
            continue;
        }
        for (std::string_view rest = item; !rest.empty();) {
            const std::size_t space = std::min(rest.find_first_of(" \t"), rest.size());
            if (space > 0) list.patterns.emplace_back(rest.substr(0, space));
            rest.remove_prefix(std::min(space + 1, rest.size()));
        }
    }
    return list;
}

}  // namespace tolva
