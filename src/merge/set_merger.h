#pragma once
// The merge of URL sets into one: folders of the same path become one folder, a browser's own
// folders (toolbar, unfiled, mobile) meet whatever each browser calls them, and a link is kept
// once in each folder, its duplicates merged into it (merge/duplicate_merge.h). The result
// keeps the first set's order, then what each later set adds, in its order.
//
// The merger moves entries out of the sets it is given into the result set, or deletes those
// it does not keep; a set given to it is left empty but still holds the text its entries
// borrowed (EntryText::Borrow), so every set given must outlive the result's entries.

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "merge/flat_table.h"
#include "merge/url_match.h"
#include "model/url_set.h"

namespace tolva {

// What becomes of a link that is in more than one folder, or more than one set.
enum class DuplicatePlaces {
    Keep,   // kept once in each folder it is in
    First,  // kept once, at its first place; its other places are only reported
};

// What became of one link of a duplicate group.
enum class MemberFate {
    Kept,    // the link that stands in its folder of the result
    Merged,  // merged into the link that stands in the same folder
    Dropped, // left out (DuplicatePlaces::First): merged into the link at the group's first place
};

struct DuplicateMember {
    int source = 0;      // which set it came from: its index among the sets merged
    std::string folder;  // its folder path in that set ("\Work\Tools"; empty at the top)
    std::string name;
    std::string url;     // as its set spelled it
    MemberFate fate = MemberFate::Kept;
    std::string keptIn;  // the result's folder that holds the link it is (or went into)
};

// Every link of the sets that one URL stands for under the match rule, in the order met.
struct DuplicateGroup {
    std::vector<DuplicateMember> members;
};

struct MergeCounts {
    int sets = 0;
    int links = 0;    // in the result
    int folders = 0;  // in the result
    // Links merged into a link of the same folder (DuplicatePlaces::First: or of another).
    int duplicatesMerged = 0;
    // Links also in another folder: kept there too (Keep) or left out (First).
    int inOtherFolders = 0;
};

class SetMerger {
public:
    // result receives the merge; it may be the first set given to Add (then merged in place).
    // With listGroups, every duplicate group is kept for Groups (memory for each duplicate).
    SetMerger(UrlSet& result, MatchRule rule, DuplicatePlaces places, bool listGroups);
    SetMerger(const SetMerger&) = delete;
    SetMerger& operator=(const SetMerger&) = delete;

    // Merges every entry of source into the result, as the set numbered sourceIndex. The text
    // of the sets' entries must be in one format, the result's (the run converts them first).
    void Add(UrlSet& source, int sourceIndex);
    // Counts the result's links and folders into it; the result is then ready to be written.
    void Finish();

    const MergeCounts& Counts() const { return counts_; }
    // The groups of links met more than once, in the order their second member was met.
    std::vector<DuplicateGroup> TakeGroups() { return std::move(groups_); }

private:
    struct Folder {
        UrlEntry* start;
        UrlEntry* end;  // the FolderEnd its new entries go before
        int source;     // the set that made it; its separators come only from that set
        std::string path;
    };
    // One URL under the rule: the link that first stood for it.
    struct Url {
        UrlEntry* first;
        int folder;
        int group = -1;
        // While listing groups: the set the first link came from and its folder there.
        int source = 0;
        int sourcePath = 0;
    };
    // Where a source's walk stands: the result's folder, and the source's own folder path.
    struct Open {
        int folder;
        int sourcePath;
    };

    void EnterFolder(UrlSet& source, UrlEntry* start, int sourceIndex, std::vector<Open>& open);
    void AddLink(UrlSet& source, UrlEntry* link, int sourceIndex, const Open& at);
    // The URL link stands for under the rule: one met before, or a new one (added set).
    std::uint32_t UrlOf(const UrlEntry& link, bool& added);
    void PlaceAtEnd(UrlSet& source, UrlEntry* entry, int folder);
    void Discard(UrlSet& source, UrlEntry* entry);
    void Record(std::uint32_t url, int sourceIndex, int sourcePath, const UrlEntry& link, MemberFate fate,
                int keptFolder);

    UrlSet& result_;
    MatchRule rule_;
    DuplicatePlaces places_;
    bool listGroups_;
    MergeCounts counts_;
    std::vector<Folder> folders_;
    // A folder's child folders by their key (the parent's index, then the mark or the name).
    std::unordered_map<std::string, int> children_;
    std::vector<Url> urls_;
    // URLs by their key's hash, the key checked against the first link's; keys whose hashes
    // meet another's go by the key itself. No key is kept for the rest, to spare memory.
    FlatTable<std::uint32_t> byHash_;
    std::unordered_map<std::string, std::uint32_t> byKey_;
    // The link that stands for a URL in a folder, by (folder << 32 | URL).
    FlatTable<UrlEntry*> inFolder_;
    std::vector<DuplicateGroup> groups_;
    std::string key_;  // scratch keys, reused from link to link
    std::string check_;
    bool htmlText_ = false;  // the sets' URLs are HTML text: references are decoded for the key
    // While listing groups: the sets' folder paths as the walks met them.
    std::vector<std::string> sourcePaths_;
};

}  // namespace tolva
