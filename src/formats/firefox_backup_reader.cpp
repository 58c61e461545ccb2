// The reader of Firefox's bookmark backups: the container unpacked when it is compressed, the
// JSON read with simdjson, as Chromium's file is.

#include <simdjson.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "formats/compressed_backup.h"
#include "formats/firefox_backup.h"
#include "formats/format.h"
#include "formats/store_fields.h"
#include "resources/strings.h"

namespace tolva {

namespace {

using namespace firefox_backup;

constexpr std::int64_t kMicroseconds = 1000000;  // backup dates are microseconds since 1970
constexpr double kLatestDate = 9.0e18;            // microseconds, within what an int64 holds

// What a node is, by its type or, failing that, its type code.
TypeCode KindOf(simdjson::dom::object node) {
    std::string_view type;
    if (!node["type"].get_string().get(type)) {
        if (type == kBookmarkType) return kBookmarkCode;
        if (type == kFolderType) return kFolderCode;
        if (type == kSeparatorType) return kSeparatorCode;
        return TypeCode{};
    }
    std::int64_t code = 0;
    if (node["typeCode"].get_int64().get(code)) return TypeCode{};
    return code >= kBookmarkCode && code <= kSeparatorCode ? static_cast<TypeCode>(code) : TypeCode{};
}

std::string_view TextOf(simdjson::dom::object node, std::string_view key) {
    std::string_view text;
    return node[key].get_string().get(text) ? std::string_view() : text;
}

class BackupReader {
public:
    BackupReader(UrlSet& set, TextControl* statusText)
        : set_(set), status_(statusText), itemText_(LoadString(IDS_STATUS_LOADING_ITEM)) {}

    // Empty text when the JSON was read, else the reason it was not.
    std::string Read(std::string_view text) {
        simdjson::dom::parser parser;
        simdjson::dom::element document;
        if (auto error = parser.parse(text.data(), text.size(), true).get(document))
            return simdjson::error_message(error);
        simdjson::dom::object top;
        if (document.get_object().get(top)) return "it holds no bookmark tree";
        if (TextOf(top, "guid") != kPlacesRoot) {
            // A backup of one folder or bookmark rather than of the whole tree.
            if (KindOf(top) == TypeCode{}) return "it holds no bookmark tree";
            Node(top);
            return {};
        }
        simdjson::dom::array children;
        if (top["children"].get_array().get(children)) return {};
        for (simdjson::dom::element child : children) {
            simdjson::dom::object node;
            if (child.get_object().get(node)) continue;
            const std::string_view guid = TextOf(node, "guid");
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
    static std::string Dates(simdjson::dom::object node) {
        std::string kept;
        for (const auto& [key, keptName] :
             {std::pair{"dateAdded", store::kAddDate}, std::pair{"lastModified", store::kLastModified}}) {
            std::int64_t microseconds = 0;
            if (node[key].get_int64().get(microseconds)) {
                // A date written as a fraction, or past what 64 bits hold, is taken as near as can be.
                double inexact = 0;
                if (node[key].get_double().get(inexact) || !(inexact >= 0 && inexact < kLatestDate)) continue;
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
    void RootFolder(simdjson::dom::object node, std::size_t root, std::string_view mark) {
        simdjson::dom::array children;
        if (node["children"].get_array().get(children) || children.size() == 0) return;
        std::string kept = Dates(node);
        if (!mark.empty()) store::AddKeptAttribute(kept, mark, "true");
        Folder(node, kRoots[root].name, kept, MarkNamed(kRoots[root].title));
    }

    void Folder(simdjson::dom::object node, std::string_view name, const std::string& kept,
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

    void Children(simdjson::dom::object node) {
        simdjson::dom::array children;
        if (node["children"].get_array().get(children)) return;
        for (simdjson::dom::element child : children) {
            simdjson::dom::object item;
            if (!child.get_object().get(item)) Node(item);
        }
    }

    void Node(simdjson::dom::object node) {
        switch (KindOf(node)) {
            case kFolderCode:
                Folder(node, TextOf(node, "title"), Dates(node));
                return;
            case kSeparatorCode:
                set_.Append(new UrlEntry(UrlEntryKind::Separator, {}));
                return;
            case kBookmarkCode:
                break;
            default:
                return;
        }
        auto* link = new UrlEntry(UrlEntryKind::Link, TextOf(node, "title"), TextOf(node, "uri"));
        std::string kept = Dates(node);
        if (const std::string_view tags = TextOf(node, "tags"); !tags.empty())
            store::AddKeptAttribute(kept, store::kTags, tags);
        if (const std::string_view keyword = TextOf(node, "keyword"); !keyword.empty())
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
