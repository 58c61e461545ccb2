// The reader of Firefox's bookmark backups: the container unpacked when it is compressed, the
// JSON read whole as a document, as Chromium's file is.

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/compressed_backup.h"
#include "formats/firefox_backup.h"
#include "formats/format.h"
#include "formats/json_document.h"
#include "formats/store_fields.h"
#include "resources/strings.h"

namespace tolva {

namespace {

using namespace firefox_backup;

constexpr std::int64_t kMicroseconds = 1000000;  // backup dates are microseconds since 1970
constexpr double kLatestDate = 9.0e18;            // microseconds, within what an int64 holds

// What a node is, by its type or, failing that, its type code.
TypeCode KindOf(json::Value node) {
    if (const auto type = node["type"].String()) {
        if (*type == kBookmarkType) return kBookmarkCode;
        if (*type == kFolderType) return kFolderCode;
        if (*type == kSeparatorType) return kSeparatorCode;
        return TypeCode{};
    }
    const std::int64_t code = node["typeCode"].Integer().value_or(0);
    return code >= kBookmarkCode && code <= kSeparatorCode ? static_cast<TypeCode>(code) : TypeCode{};
}

class BackupReader {
public:
    BackupReader(UrlSet& set, TextControl* statusText)
        : set_(set), status_(statusText), itemText_(LoadString(IDS_STATUS_LOADING_ITEM)) {}

    // Empty text when the JSON was read, else the reason it was not.
    std::string Read(std::string_view text) {
        json::Document document;
        if (std::string failure = document.Parse(text); !failure.empty()) return failure;
        const json::Value top = document.Root();
        if (!top.IsObject()) return "it holds no bookmark tree";
        if (top["guid"].Text() != kPlacesRoot) {
            // A backup of one folder or bookmark rather than of the whole tree.
            if (KindOf(top) == TypeCode{}) return "it holds no bookmark tree";
            Node(top);
            return {};
        }
        for (const json::Value node : top["children"].Elements()) {
            if (!node.IsObject()) continue;
            const std::string_view guid = node["guid"].Text();
            if (guid == kTagsRoot) continue;  // each bookmark carries its own tags
            if (guid == kRoots[kMenu].guid) {
                Children(node);
            } else if (guid == kRoots[kToolbar].guid) {
                RootFolder(node, kToolbar, store::kToolbarFolder);
            } else if (guid == kRoots[kUnfiled].guid) {
                RootFolder(node, kUnfiled, store::kUnfiledFolder);
            } else if (guid == kRoots[kMobile].guid) {
                RootFolder(node, kMobile, {});
            } else {
                Node(node);
            }
        }
        return {};
    }

private:
    static std::string Dates(json::Value node) {
        std::string kept;
        for (const auto& [key, keptName] :
             {std::pair{"dateAdded", store::kAddDate}, std::pair{"lastModified", store::kLastModified}}) {
            const json::Value date = node[key];
            std::int64_t microseconds = 0;
            if (const auto exact = date.Integer()) {
                microseconds = *exact;
            } else {
                // A date written as a fraction, or past what 64 bits hold, is taken as near as can be.
                const double inexact = date.Number().value_or(-1);
                if (!(inexact >= 0 && inexact < kLatestDate)) continue;
                microseconds = static_cast<std::int64_t>(inexact);
            }
            if (microseconds >= kMicroseconds)
                store::AddKeptAttribute(kept, keptName, std::to_string(microseconds / kMicroseconds));
        }
        return kept;
    }

    // A root other than the menu: a top-level folder under Firefox's name for it, marked so that
    // it goes back there. An empty one is left out, so a set does not grow empty folders each
    // time it passes through this format.
    void RootFolder(json::Value node, std::size_t root, std::string_view mark) {
        if (const json::Value children = node["children"]; !children.IsArray() || children.IsEmpty()) return;
        std::string kept = Dates(node);
        if (!mark.empty()) store::AddKeptAttribute(kept, mark, "true");
        Folder(node, kRoots[root].name, kept, MarkNamed(kRoots[root].title));
    }

    void Folder(json::Value node, std::string_view name, const std::string& kept,
                FolderMark mark = FolderMark::None) {
        auto* folder = new UrlEntry(UrlEntryKind::FolderStart, name);
        folder->extraAttributes = kept;
        folder->mark = mark;
        set_.Append(folder);
        ++set_.folderCount;
        ShowItem();
        Children(node);
        set_.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    }

    void Children(json::Value node) {
        for (const json::Value child : node["children"].Elements()) {
            if (child.IsObject()) Node(child);
        }
    }

    void Node(json::Value node) {
        switch (KindOf(node)) {
            case kFolderCode:
                Folder(node, node["title"].Text(), Dates(node));
                return;
            case kSeparatorCode:
                set_.Append(new UrlEntry(UrlEntryKind::Separator, {}));
                return;
            case kBookmarkCode:
                break;
            default:
                return;
        }
        auto* link = new UrlEntry(UrlEntryKind::Link, node["title"].Text(), node["uri"].Text());
        std::string kept = Dates(node);
        if (const std::string_view tags = node["tags"].Text(); !tags.empty())
            store::AddKeptAttribute(kept, store::kTags, tags);
        if (const std::string_view keyword = node["keyword"].Text(); !keyword.empty())
            store::AddKeptAttribute(kept, store::kShortcutUrl, keyword);
        link->extraAttributes = kept;
        set_.Append(link);
        ++set_.linkCount;
        ShowItem();
    }

    void ShowItem() {
        if (status_) status_->SetText(itemText_.Advance());
    }

    UrlSet& set_;
    TextControl* status_;
    CounterText itemText_;
};

}  // namespace

int ReadFirefoxBackup(SetStorage& storage, TextControl* statusText) {
    UrlSet& set = storage.Set();
    std::string_view fileText;
    if (!storage.TakeRest(fileText)) return 0;
    std::string unpacked;
    std::string failure;
    if (IsCompressedBackup(fileText)) {
        if (UnpackCompressedBackup(fileText, unpacked, failure)) fileText = unpacked;
    }
    if (failure.empty()) {
        BackupReader reader(set, statusText);
        failure = reader.Read(fileText);
    }
    set.SetCursor(nullptr);
    if (!failure.empty()) {
        set.ShowRunMessage(FormatString(IDS_ERR_FIREFOX_BACKUP_READ, {set.location, failure}));
        return 0;
    }
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_FIREFOX_BACKUP_LOADED));
    return 1;
}

}  // namespace tolva
