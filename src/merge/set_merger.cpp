#include "merge/set_merger.h"

#include <algorithm>
#include <functional>

#include "formats/format_table.h"
#include "formats/html_text.h"
#include "merge/duplicate_merge.h"

namespace tolva {

namespace {

// A folder's key among its siblings: a browser's own folder meets the same folder of another
// browser by its mark, whatever either calls it; any other folder goes by its name.
std::string ChildKey(int parent, const UrlEntry& folder) {
    std::string key = std::to_string(parent);
    if (folder.mark != FolderMark::None) {
        key += '\x01';
        key += std::to_string(static_cast<int>(folder.mark));
    } else {
        key += '\x02';
        key += folder.name.view();
    }
    return key;
}

std::uint64_t PlaceKey(int folder, std::uint32_t url) {
    return (static_cast<std::uint64_t>(folder) << 32) | url;
}

}  // namespace

SetMerger::SetMerger(UrlSet& result, MatchRule rule, DuplicatePlaces places, bool listGroups)
    : result_(result), rule_(rule), places_(places), listGroups_(listGroups) {}

void SetMerger::Add(UrlSet& source, int sourceIndex) {
    htmlText_ = FormatHoldsHtml(source.format);
    // The source's entries are taken off it first: the result may be the source itself.
    UrlEntry* entry = source.root.next;
    source.root.next = nullptr;
    source.Rewind();
    if (folders_.empty()) {
        // The top level: the result's root, closed by the one FolderEnd every set read ends with.
        UrlEntry* end = result_.root.InsertAfter(new UrlEntry(UrlEntryKind::FolderEnd, {}));
        folders_.push_back({&result_.root, end, sourceIndex, {}});
    }
    ++counts_.sets;
    // Room made at once, so that the tables do not grow step by step, each step moving all that
    // is in them: the list for every link of the set being new (its memory is taken only as it
    // fills), the tables for as many URLs as the larger set holds, since sets merged are mostly
    // the same links (they grow if not).
    const auto links = static_cast<std::size_t>(std::max(source.linkCount, 0));
    urls_.reserve(urls_.size() + links);
    byHash_.Reserve(std::max(urls_.size(), links));
    inFolder_.Reserve(std::max(urls_.size(), links));
    if (listGroups_) sourcePaths_.emplace_back();
    std::vector<Open> open{{0, listGroups_ ? static_cast<int>(sourcePaths_.size()) - 1 : 0}};
    while (entry != nullptr) {
        UrlEntry* following = entry->next;
        entry->next = entry->prev = nullptr;
        switch (entry->kind) {
            case UrlEntryKind::FolderStart:
                EnterFolder(source, entry, sourceIndex, open);
                break;
            case UrlEntryKind::FolderEnd:
                // The set's own last FolderEnd closes the top level, which the result has already.
                if (open.size() > 1) open.pop_back();
                Discard(source, entry);
                break;
            case UrlEntryKind::Link:
                AddLink(source, entry, sourceIndex, open.back());
                break;
            default:
                // A separator belongs to its folder's layout: it comes from the set that made the
                // folder, and would only pile up at the end of a folder another set made.
                if (folders_[open.back().folder].source == sourceIndex) {
                    PlaceAtEnd(source, entry, open.back().folder);
                } else {
                    Discard(source, entry);
                }
                break;
        }
        entry = following;
    }
}

void SetMerger::EnterFolder(UrlSet& source, UrlEntry* start, int sourceIndex, std::vector<Open>& open) {
    const int parent = open.back().folder;
    int sourcePath = open.back().sourcePath;
    if (listGroups_) {
        sourcePaths_.push_back(sourcePaths_[sourcePath] + '\\' + start->name);
        sourcePath = static_cast<int>(sourcePaths_.size()) - 1;
    }
    auto [child, added] = children_.try_emplace(ChildKey(parent, *start), static_cast<int>(folders_.size()));
    if (!added) {
        MergeDuplicateInto(*folders_[child->second].start, *start);
        Discard(source, start);
        open.push_back({child->second, sourcePath});
        return;
    }
    const Folder& into = folders_[parent];
    std::string path = into.path + '\\' + start->name;
    PlaceAtEnd(source, start, parent);
    UrlEntry* end = start->InsertAfter(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    folders_.push_back({start, end, sourceIndex, std::move(path)});
    open.push_back({child->second, sourcePath});
}

std::uint32_t SetMerger::UrlOf(const UrlEntry& link, bool& added) {
    const auto keyOf = [this](const UrlEntry& entry, std::string& key) {
        const std::string_view url = entry.url.view();
        if (htmlText_ && url.find('&') != std::string_view::npos) {
            MatchKey(DecodeCharacterReferences(url), rule_, key);
        } else {
            MatchKey(url, rule_, key);
        }
    };
    keyOf(link, key_);
    const auto next = static_cast<std::uint32_t>(urls_.size());
    const auto [byHash, inserted] = byHash_.TryEmplace(std::hash<std::string_view>{}(key_), next);
    added = inserted;
    if (inserted) return next;
    // The same text makes the same key (the sets' texts are in one format): the first link's
    // key need not be made again to be sure the hashes did not merely meet.
    const UrlEntry& first = *urls_[*byHash].first;
    if (first.url.view() == link.url.view()) return *byHash;
    keyOf(first, check_);
    if (check_ == key_) return *byHash;
    const auto [byKey, keyInserted] = byKey_.try_emplace(key_, next);
    added = keyInserted;
    return byKey->second;
}

void SetMerger::AddLink(UrlSet& source, UrlEntry* link, int sourceIndex, const Open& at) {
    bool added = false;
    const std::uint32_t url = UrlOf(*link, added);
    if (added) {
        urls_.push_back({link, at.folder, -1, sourceIndex, at.sourcePath});
        inFolder_.TryEmplace(PlaceKey(at.folder, url), link);
        PlaceAtEnd(source, link, at.folder);
        return;
    }
    UrlEntry* kept = nullptr;
    int keptFolder = at.folder;
    MemberFate fate = MemberFate::Merged;
    if (UrlEntry* const* same = inFolder_.Find(PlaceKey(at.folder, url))) {
        kept = *same;
        ++counts_.duplicatesMerged;
    } else if (places_ == DuplicatePlaces::First) {
        kept = urls_[url].first;
        keptFolder = urls_[url].folder;
        fate = MemberFate::Dropped;
        ++counts_.inOtherFolders;
    } else {
        ++counts_.inOtherFolders;
        Record(url, sourceIndex, at.sourcePath, *link, MemberFate::Kept, at.folder);
        inFolder_.TryEmplace(PlaceKey(at.folder, url), link);
        PlaceAtEnd(source, link, at.folder);
        return;
    }
    Record(url, sourceIndex, at.sourcePath, *link, fate, keptFolder);
    MergeDuplicateInto(*kept, *link);
    Discard(source, link);
}

void SetMerger::Record(std::uint32_t url, int sourceIndex, int sourcePath, const UrlEntry& link, MemberFate fate,
                       int keptFolder) {
    if (!listGroups_) return;
    Url& first = urls_[url];
    if (first.group < 0) {
        first.group = static_cast<int>(groups_.size());
        groups_.push_back({{{first.source, sourcePaths_[first.sourcePath], first.first->name.str(),
                             first.first->url.str(), MemberFate::Kept, folders_[first.folder].path}}});
    }
    groups_[first.group].members.push_back(
        {sourceIndex, sourcePaths_[sourcePath], link.name.str(), link.url.str(), fate, folders_[keptFolder].path});
}

void SetMerger::PlaceAtEnd(UrlSet& source, UrlEntry* entry, int folder) {
    folders_[folder].end->prev->InsertAfter(entry);
    if (&source == &result_) return;
    // Markup only the source's format knows goes with the entry, for a result written in it.
    if (const std::string* markup = source.KeptMarkup(entry)) {
        result_.KeepMarkup(entry, *markup);
        source.KeepMarkup(entry, {});
    }
}

void SetMerger::Discard(UrlSet& source, UrlEntry* entry) {
    // The entry's memory is used again: markup kept for it must not pass to its successor.
    source.KeepMarkup(entry, {});
    delete entry;
}

void SetMerger::Finish() {
    counts_.links = 0;
    for (const UrlEntry* entry = result_.root.next; entry != nullptr; entry = entry->next) {
        if (entry->kind == UrlEntryKind::Link) ++counts_.links;
    }
    counts_.folders = static_cast<int>(folders_.size()) - 1;
    result_.linkCount = counts_.links;
    result_.folderCount = counts_.folders;
    result_.Rewind();
}

}  // namespace tolva
