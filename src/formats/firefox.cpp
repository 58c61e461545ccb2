#include "formats/firefox.h"

#include <sqlite3.h>
#include <stdlib.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "formats/format.h"
#include "formats/store_fields.h"
#include "platform/file.h"
#include "resources/strings.h"

namespace tolva {

namespace {

namespace fs = std::filesystem;

// moz_bookmarks.type
constexpr int kTypeBookmark = 1;
constexpr int kTypeFolder = 2;
constexpr int kTypeSeparator = 3;
constexpr std::int64_t kMicroseconds = 1000000;  // Firefox dates are microseconds since 1970

struct Root {
    std::string_view guid;
    std::string_view name;
};
// The roots Firefox shows, in its order, under the names it shows them by.
constexpr std::array<Root, 4> kRoots = {{
    {"menu________", "Bookmarks Menu"},
    {"toolbar_____", "Bookmarks Toolbar"},
    {"unfiled_____", "Other Bookmarks"},
    {"mobile______", "Mobile Bookmarks"},
}};
constexpr std::string_view kTagsRoot = "tags________";

// Every item with its place's URL and keywords, children in their order. Keywords hang on
// the place (moz_keywords.place_id) since Firefox 39.
constexpr char kItemsQuery[] =
    "SELECT b.id, b.parent, b.type, b.title, b.dateAdded, b.lastModified, b.guid, b.fk, p.url,"
    " (SELECT group_concat(k.keyword, ',') FROM moz_keywords k WHERE k.place_id = b.fk)"
    " FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk ORDER BY b.parent, b.position, b.id";
// The same for a store without keywords.
constexpr char kItemsQueryWithoutKeywords[] =
    "SELECT b.id, b.parent, b.type, b.title, b.dateAdded, b.lastModified, b.guid, b.fk, p.url, NULL"
    " FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk ORDER BY b.parent, b.position, b.id";

// A private folder for the copy, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::error_code error;
        std::string pattern = (fs::temp_directory_path(error) / "tolva-places-XXXXXX").string();
        if (!error && ::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

// Copies what from's descriptor reads to a new file at to. Plain reads take no lock.
bool CopyFile(File& from, const fs::path& to, int& errnoValue) {
    File copy;
    if (!copy.CreateNewAt(AT_FDCWD, to.string(), 0600)) {
        errnoValue = copy.LastErrno();
        return false;
    }
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const long got = from.Read(buffer.data(), buffer.size());
        if (got < 0) {
            errnoValue = from.LastErrno();
            return false;
        }
        if (got == 0) return true;
        if (!copy.Write(buffer.data(), static_cast<std::size_t>(got))) {
            errnoValue = copy.LastErrno();
            return false;
        }
    }
}

class Database {
public:
    ~Database() { sqlite3_close_v2(db_); }
    // The copy is opened for writing too: SQLite applies the copied log to it on opening.
    bool Open(const fs::path& path) {
        return sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr) == SQLITE_OK;
    }
    sqlite3* Get() const { return db_; }
    std::string Error() const { return db_ ? sqlite3_errmsg(db_) : "out of memory"; }

private:
    sqlite3* db_ = nullptr;
};

struct Item {
    std::int64_t id = 0;
    std::int64_t parent = 0;
    int type = 0;
    std::string title;
    std::int64_t added = 0;
    std::int64_t modified = 0;
    std::string guid;
    std::int64_t place = 0;
    std::string url;
    std::string keywords;
};

std::string Column(sqlite3_stmt* row, int column) {
    const unsigned char* text = sqlite3_column_text(row, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(row, column)))
                : std::string();
}

// Reads every item; empty text when done, else SQLite's reason.
std::string LoadItems(Database& db, std::vector<Item>& items) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.Get(), kItemsQuery, -1, &statement, nullptr) != SQLITE_OK &&
        sqlite3_prepare_v2(db.Get(), kItemsQueryWithoutKeywords, -1, &statement, nullptr) != SQLITE_OK)
        return db.Error();
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        Item item;
        item.id = sqlite3_column_int64(statement, 0);
        item.parent = sqlite3_column_int64(statement, 1);
        item.type = sqlite3_column_int(statement, 2);
        item.title = Column(statement, 3);
        item.added = sqlite3_column_int64(statement, 4);
        item.modified = sqlite3_column_int64(statement, 5);
        item.guid = Column(statement, 6);
        item.place = sqlite3_column_int64(statement, 7);
        item.url = Column(statement, 8);
        item.keywords = Column(statement, 9);
        items.push_back(std::move(item));
    }
    sqlite3_finalize(statement);
    return step == SQLITE_DONE ? std::string() : db.Error();
}

class TreeReader {
public:
    TreeReader(UrlSet& set, TextControl* statusText, const std::vector<Item>& items)
        : set_(set), status_(statusText), itemText_(LoadString(IDS_STATUS_LOADING_ITEM)), items_(items) {
        for (std::size_t i = 0; i < items_.size(); ++i) {
            children_[items_[i].parent].push_back(i);  // in their order: the query sorted them
        }
        walked_.assign(items_.size(), false);
        CollectTags();
    }

    void Read() {
        for (const Root& root : kRoots) {
            for (std::size_t i = 0; i < items_.size(); ++i) {
                if (items_[i].guid == root.guid && items_[i].type == kTypeFolder) {
                    if (!walked_[i]) Walk(i, root.name);
                    break;
                }
            }
        }
    }

private:
    // A tag is a folder under the tags root; a bookmark inside it tags that bookmark's place.
    void CollectTags() {
        for (const Item& tags : items_) {
            if (tags.guid != kTagsRoot) continue;
            for (std::size_t tag : ChildrenOf(tags.id)) {
                if (items_[tag].type != kTypeFolder) continue;
                for (std::size_t tagged : ChildrenOf(items_[tag].id)) {
                    if (items_[tagged].type != kTypeBookmark) continue;
                    std::string& list = tags_[items_[tagged].place];
                    if (!list.empty()) list += ',';
                    list += items_[tag].title;
                }
            }
        }
    }

    const std::vector<std::size_t>& ChildrenOf(std::int64_t id) const {
        static const std::vector<std::size_t> kNone;
        auto found = children_.find(id);
        return found == children_.end() ? kNone : found->second;
    }

    static std::string Dates(const Item& item) {
        std::string kept;
        if (item.added > 0) store::AddKeptAttribute(kept, store::kAddDate, std::to_string(item.added / kMicroseconds));
        if (item.modified > 0)
            store::AddKeptAttribute(kept, store::kLastModified, std::to_string(item.modified / kMicroseconds));
        return kept;
    }

    UrlEntry* NewFolder(const Item& item, std::string_view name) {
        auto* folder = new UrlEntry(UrlEntryKind::FolderStart, name);
        folder->extraAttributes = Dates(item);
        ++set_.folderCount;
        return folder;
    }

    // A root and everything under it, depth first without recursion. A sound store gives each
    // item one parent, but a damaged one may make a folder its own ancestor: each folder is
    // entered once, or the walk would never end.
    void Walk(std::size_t rootIndex, std::string_view name) {
        struct Frame {
            std::int64_t id;
            std::size_t next;
        };
        const Item& root = items_[rootIndex];
        walked_[rootIndex] = true;
        set_.Append(NewFolder(root, name));
        ShowItem();
        std::vector<Frame> frames{{root.id, 0}};
        while (!frames.empty()) {
            Frame& frame = frames.back();
            const std::vector<std::size_t>& children = ChildrenOf(frame.id);
            if (frame.next == children.size()) {
                frames.pop_back();
                set_.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
                continue;
            }
            const std::size_t index = children[frame.next++];
            const Item& item = items_[index];
            if (item.type == kTypeFolder) {
                if (walked_[index]) continue;
                walked_[index] = true;
                set_.Append(NewFolder(item, item.title));
                ShowItem();
                frames.push_back({item.id, 0});
            } else if (item.type == kTypeSeparator) {
                set_.Append(new UrlEntry(UrlEntryKind::Separator, {}));
            } else if (item.type == kTypeBookmark) {
                auto* link = new UrlEntry(UrlEntryKind::Link, item.title, item.url);
                std::string kept = Dates(item);
                if (auto tags = tags_.find(item.place); tags != tags_.end())
                    store::AddKeptAttribute(kept, store::kTags, tags->second);
                if (!item.keywords.empty()) store::AddKeptAttribute(kept, store::kShortcutUrl, item.keywords);
                link->extraAttributes = kept;
                set_.Append(link);
                ++set_.linkCount;
                ShowItem();
            }
        }
    }

    void ShowItem() {
        if (status_) status_->SetText(itemText_.Advance());
    }

    UrlSet& set_;
    TextControl* status_;
    CounterText itemText_;
    const std::vector<Item>& items_;
    std::map<std::int64_t, std::vector<std::size_t>> children_;
    std::map<std::int64_t, std::string> tags_;
    std::vector<bool> walked_;  // by item: a folder already entered
};

// Copies the store and its log into scratch and reads the copy; empty text when done.
std::string ReadCopy(UrlSet& set, TextControl* statusText, const ScratchFolder& scratch) {
    if (scratch.Path().empty()) return "no private folder for a copy could be made";
    File* store = set.GetFile();
    if (store == nullptr || !store->IsOpen() || !store->Seek(0)) return "the store is not open";
    const fs::path copy = scratch.Path() / "places.sqlite";
    int errnoValue = 0;
    if (!CopyFile(*store, copy, errnoValue)) return "copying it failed: " + std::generic_category().message(errnoValue);
    File log;
    if (log.OpenReadOnly(set.location + "-wal")) {
        if (!CopyFile(log, scratch.Path() / "places.sqlite-wal", errnoValue))
            return "copying its log failed: " + std::generic_category().message(errnoValue);
    }
    Database db;
    if (!db.Open(copy)) return db.Error();
    std::vector<Item> items;
    if (std::string failure = LoadItems(db, items); !failure.empty()) return failure;
    TreeReader(set, statusText, items).Read();
    return {};
}

}  // namespace

int ReadFirefox(UrlSet& set, TextControl* statusText) {
    std::string failure;
    {
        ScratchFolder scratch;
        failure = ReadCopy(set, statusText, scratch);
    }
    set.SetCursor(nullptr);
    if (!failure.empty()) {
        set.ShowRunMessage(FormatString(IDS_ERR_FIREFOX_READ, {set.location, failure}));
        return 0;
    }
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_FIREFOX_LOADED));
    return 1;
}

}  // namespace tolva
