// The writer of Firefox's bookmark backups: compact JSON as Firefox writes it, built in one walk
// with the contents of each root apart, then put together under the places root and, for a
// ".jsonlz4" file, compressed as one LZ4 block.

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formats/compressed_backup.h"
#include "formats/entry_walker.h"
#include "formats/firefox_backup.h"
#include "formats/format.h"
#include "formats/store_fields.h"
#include "platform/ascii.h"
#include "platform/ready_memory.h"
#include "resources/strings.h"

namespace tolva {

namespace {

using namespace firefox_backup;

constexpr std::int64_t kMicroseconds = 1000000;
constexpr std::int64_t kLatestSeconds = std::numeric_limits<std::int64_t>::max() / kMicroseconds;
constexpr std::string_view kCompressedExtension = ".jsonlz4";
// About what an item takes in the document, with its GUID, dates, numbers, name and URL.
constexpr std::size_t kItemBytes = 256;

// The document, tens of megabytes for a large set: in huge pages as it fills, not a fault every
// 4 KiB.
using JsonText = std::basic_string<char, std::char_traits<char>, LargeBlockAllocator<char>>;
// Guids are twelve characters of this alphabet, as Firefox makes them.
constexpr std::string_view kGuidAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr std::size_t kGuidLength = 12;
// Ids the roots take; the items are numbered after them.
constexpr std::int64_t kPlacesRootId = 1;
constexpr std::int64_t kFirstItemId = 10;

std::int64_t NowInMicroseconds() {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// Whether the backup is written compressed: by the name's extension, or as the file it replaces.
bool WritesCompressed(const std::string& location) {
    if (location.size() >= kCompressedExtension.size() &&
        EqualsIgnoringAsciiCase(std::string_view(location).substr(location.size() - kCompressedExtension.size()),
                                kCompressedExtension))
        return true;
    std::ifstream existing(location, std::ios::binary);
    std::string start(8, '\0');
    existing.read(start.data(), static_cast<std::streamsize>(start.size()));
    start.resize(static_cast<std::size_t>(existing.gcount()));
    return IsCompressedBackup(start);
}

void AddNumber(std::string& out, std::string_view key, std::int64_t value) {
    out += '"';
    out += key;
    out += "\":";
    out += std::to_string(value);
    out += ',';
}

void AddText(std::string& out, std::string_view key, std::string_view value) {
    out += '"';
    out += key;
    out += "\":";
    store::AppendJsonString(out, value);
    out += ',';
}

class BackupWriter final : public EntryWalker {
public:
    BackupWriter() : now_(NowInMicroseconds()), random_(std::random_device{}()) {}

    // The document. The menu, which holds nearly everything, comes first: its contents become
    // the document in place, so that a backup of a large set is never copied whole.
    JsonText Json(UrlSet& set) {
        // Room for the whole document at once (an item takes about 250 bytes): grown step by
        // step, each step would copy what the menu holds into fresh memory.
        roots_[kMenu].children.reserve(
            static_cast<std::size_t>(std::max(set.linkCount, 0) + std::max(set.folderCount, 0) + 16) * kItemBytes);
        Walk(set);
        std::string head = "{";
        AddText(head, "guid", kPlacesRoot);
        AddText(head, "title", "");
        AddNumber(head, "index", 0);
        AddNumber(head, "dateAdded", now_);
        AddNumber(head, "lastModified", now_);
        AddNumber(head, "id", kPlacesRootId);
        AddNumber(head, "typeCode", kFolderCode);
        AddText(head, "type", kFolderType);
        AddText(head, "root", "placesRoot");
        head += "\"children\":[";
        JsonText json = std::move(roots_[kMenu].children);
        json.insert(0, head + RootHead(kMenu));
        json += "]}";
        for (std::size_t root = kMenu + 1; root < kRoots.size(); ++root) {
            json += ',';
            json += std::string_view(RootHead(root));
            json += roots_[root].children;
            json += "]}";
        }
        json += "]}";
        return json;
    }

private:
    struct RootContents {
        const UrlEntry* folder = nullptr;  // the first top-level folder that fills it, for its dates
        JsonText children;
        std::int64_t count = 0;
    };
    // A folder open in the walk: the root whose contents it is written into, and the number of
    // children written in it so far. A top-level folder that fills a root is written as the
    // root itself.
    struct Open {
        std::size_t root;
        std::int64_t count;
        bool isRoot;
    };

    // The root a top-level folder fills, or kRoots.size() for a folder that goes to the menu: the
    // one its mark names, whichever format marked it; an unmarked folder by Firefox's own name
    // for a root.
    static std::size_t RootOf(const UrlEntry& folder) {
        switch (folder.mark) {
            case FolderMark::Toolbar:
                return kToolbar;
            case FolderMark::Unfiled:
                return kUnfiled;
            case FolderMark::Mobile:
                return kMobile;
            case FolderMark::None:
                break;
        }
        for (std::size_t root = 0; root < kRoots.size(); ++root) {
            if (std::string_view(folder.name) == kRoots[root].name) return root;
        }
        return kRoots.size();
    }

    // A root's object up to its children.
    std::string RootHead(std::size_t root) const {
        std::string json = "{";
        AddText(json, "guid", kRoots[root].guid);
        AddText(json, "title", kRoots[root].title);
        AddNumber(json, "index", static_cast<std::int64_t>(root));
        AddDates(json, roots_[root].folder);
        AddNumber(json, "id", kPlacesRootId + 1 + static_cast<std::int64_t>(root));
        AddNumber(json, "typeCode", kFolderCode);
        AddText(json, "type", kFolderType);
        AddText(json, "root", kRoots[root].rootName);
        json += "\"children\":[";
        return json;
    }

    // Where the next item goes, and its index there.
    JsonText& Target(std::int64_t& index) {
        if (open_.empty()) {
            index = roots_[kMenu].count++;
            return roots_[kMenu].children;
        }
        Open& parent = open_.back();
        index = parent.isRoot ? roots_[parent.root].count++ : parent.count++;
        return roots_[parent.root].children;
    }

    // Begins an item's object with the fields every item has, in the item's own text, which
    // EndItem puts where the item goes.
    std::string& Begin(const UrlEntry* entry, std::string_view title, TypeCode code, std::string_view type) {
        std::int64_t index = 0;
        target_ = &Target(index);
        std::string& out = item_;
        out.clear();
        if (index > 0) out += ',';
        out += '{';
        AddText(out, "guid", NewGuid());
        AddText(out, "title", title);
        AddNumber(out, "index", index);
        AddDates(out, entry);
        AddNumber(out, "id", nextId_++);
        AddNumber(out, "typeCode", code);
        AddText(out, "type", type);
        return out;
    }
    void EndItem() { *target_ += item_; }

    void EnterFolder(UrlEntry& entry) override {
        if (Depth() == 1) {
            if (const std::size_t root = RootOf(entry); root < kRoots.size()) {
                if (roots_[root].folder == nullptr) roots_[root].folder = &entry;
                open_.push_back({root, 0, true});
                return;
            }
        }
        std::string& out = Begin(&entry, entry.name.view(), kFolderCode, kFolderType);
        out += "\"children\":[";
        EndItem();
        open_.push_back({open_.empty() ? std::size_t{kMenu} : open_.back().root, 0, false});
    }

    void LeaveFolder(UrlEntry& /*end*/) override {
        const Open left = open_.back();
        open_.pop_back();
        if (!left.isRoot) roots_[left.root].children += "]}";
    }

    void VisitLink(UrlEntry& entry) override {
        std::string& out = Begin(&entry, entry.name.view(), kBookmarkCode, kBookmarkType);
        const std::string_view attributes = entry.extraAttributes.view();
        if (auto tags = store::FindKeptAttribute(attributes, store::kTags); tags && !tags->empty())
            AddText(out, "tags", *tags);
        if (auto keyword = store::FindKeptAttribute(attributes, store::kShortcutUrl); keyword && !keyword->empty())
            AddText(out, "keyword", *keyword);
        out += "\"uri\":";
        store::AppendJsonString(out, entry.url.view());
        out += '}';
        EndItem();
    }

    void VisitSeparator(UrlEntry& entry) override {
        std::string& out = Begin(&entry, "", kSeparatorCode, kSeparatorType);
        out.back() = '}';  // no field follows the type
        EndItem();
    }

    // dateAdded and lastModified of an entry's kept dates; the time of writing for none.
    void AddDates(std::string& out, const UrlEntry* entry) const {
        std::int64_t added = now_;
        std::int64_t modified = 0;
        if (entry != nullptr && !entry->extraAttributes.empty()) {
            const std::string_view attributes = entry->extraAttributes.view();
            for (const auto& [key, date] : {std::pair{store::kAddDate, &added}, {store::kLastModified, &modified}}) {
                const std::optional<std::string> value = store::FindKeptAttribute(attributes, key);
                const std::optional<std::int64_t> seconds = value ? store::ParseSeconds(*value) : std::nullopt;
                // A date too far off to count in microseconds is no date.
                if (seconds && *seconds > 0 && *seconds <= kLatestSeconds) *date = *seconds * kMicroseconds;
            }
        }
        AddNumber(out, "dateAdded", added);
        AddNumber(out, "lastModified", modified > 0 ? modified : added);
    }

    std::string NewGuid() {
        std::string guid(kGuidLength, ' ');
        std::uniform_int_distribution<std::size_t> pick(0, kGuidAlphabet.size() - 1);
        for (char& c : guid) c = kGuidAlphabet[pick(random_)];
        return guid;
    }

    const std::int64_t now_;
    std::mt19937_64 random_;
    std::int64_t nextId_ = kFirstItemId;
    std::array<RootContents, kRoots.size()> roots_{};
    std::vector<Open> open_;
    std::string item_;            // the item being put together
    JsonText* target_ = nullptr;  // where it goes
};

}  // namespace

int WriteFirefoxBackup(SetStorage& storage) {
    UrlSet& set = storage.Set();
    BlockWriter out(storage, IDS_ERR_FIREFOX_BACKUP_WRITE);
    if (!out.Begin()) return 0;
    BackupWriter writer;
    const JsonText json = writer.Json(set);
    std::string_view bytes = json;
    std::string packed;
    if (WritesCompressed(set.location)) {
        if (!PackCompressedBackup(bytes, packed)) {
            out.Fail(IDS_ERR_FIREFOX_BACKUP_WRITE, EFBIG);
            return 0;
        }
        bytes = packed;
    }
    if (BlockWriter::WritesThrough(bytes.size())) {
        out.WriteThrough(bytes);
    } else {
        out.Add(bytes);
    }
    out.Flush();
    return out.Failed() ? 0 : 1;
}

}  // namespace tolva
