#include "formats/firefox.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "formats/format.h"
#include "formats/store_fields.h"
#include "platform/file.h"
#include "platform/scratch_folder.h"
#include "platform/stop_request.h"
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
    FolderMark mark;
};
// The roots Firefox shows, in its order, under the names it shows them by.
constexpr std::array<Root, 4> kRoots = {{
    {"menu________", "Bookmarks Menu", FolderMark::None},
    {"toolbar_____", "Bookmarks Toolbar", FolderMark::Toolbar},
    {"unfiled_____", "Other Bookmarks", FolderMark::Unfiled},
    {"mobile______", "Mobile Bookmarks", FolderMark::Mobile},
}};

// A folder's children in their order, each bookmark with its place's URL and keywords.
// Keywords hang on the place (moz_keywords.place_id) since Firefox 39.
constexpr char kChildrenQuery[] =
    "SELECT b.id, b.type, b.title, b.dateAdded, b.lastModified, b.fk, p.url,"
    " (SELECT group_concat(k.keyword, ',') FROM moz_keywords k WHERE k.place_id = b.fk)"
    " FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk WHERE b.parent = ?1 ORDER BY b.position, b.id";
// The same for a store without keywords.
constexpr char kChildrenQueryWithoutKeywords[] =
    "SELECT b.id, b.type, b.title, b.dateAdded, b.lastModified, b.fk, p.url, NULL"
    " FROM moz_bookmarks b LEFT JOIN moz_places p ON p.id = b.fk WHERE b.parent = ?1 ORDER BY b.position, b.id";
enum ChildColumn { kId, kType, kTitle, kAdded, kModified, kPlace, kUrl, kKeywords };
// A root folder by its guid; of namesakes in a damaged store, the first in the store's order.
constexpr char kRootQuery[] =
    "SELECT id, dateAdded, lastModified FROM moz_bookmarks WHERE guid = ?1 AND type = 2"
    " ORDER BY parent, position, id LIMIT 1";
// Each tag's name and the places it tags, tags in their order.
constexpr char kTagsQuery[] =
    "SELECT t.title, b.fk FROM moz_bookmarks r JOIN moz_bookmarks t ON t.parent = r.id AND t.type = 2"
    " JOIN moz_bookmarks b ON b.parent = t.id AND b.type = 1 WHERE r.guid = 'tags________'"
    " ORDER BY r.parent, r.position, r.id, t.position, t.id, b.position, b.id";
// Firefox's own index of children by folder. A store without it gets it on the copy, so that
// reading folder by folder never scans the whole table for each folder.
constexpr char kParentIndex[] =
    "CREATE INDEX IF NOT EXISTS moz_bookmarks_parentindex ON moz_bookmarks (parent, position)";
// The copy of the store and of its log. SQLite finds the log by the copy's name.
constexpr char kCopyName[] = "places.sqlite";
constexpr char kCopyLogName[] = "places.sqlite-wal";
// Entries handed over at a time: enough to keep SQLite busy, few enough to weigh nothing.
constexpr int kBatch = 256;

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

// A prepared statement, finalized with its owner.
class Statement {
public:
    Statement() = default;
    ~Statement() { sqlite3_finalize(statement_); }
    Statement(Statement&& other) noexcept : statement_(std::exchange(other.statement_, nullptr)) {}
    Statement& operator=(Statement&&) = delete;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Prepare(sqlite3* db, const char* sql) {
        return sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr) == SQLITE_OK;
    }
    // Starts the statement again with its first parameter bound to value.
    void Restart(std::int64_t value) {
        sqlite3_reset(statement_);
        sqlite3_bind_int64(statement_, 1, value);
    }
    void Restart(std::string_view value) {
        sqlite3_reset(statement_);
        sqlite3_bind_text(statement_, 1, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
    }
    int Step() { return sqlite3_step(statement_); }
    std::int64_t Integer(int column) const { return sqlite3_column_int64(statement_, column); }
    std::string_view Text(int column) const {
        const unsigned char* text = sqlite3_column_text(statement_, column);
        return text ? std::string_view(reinterpret_cast<const char*>(text),
                                       static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                    : std::string_view();
    }

private:
    sqlite3_stmt* statement_ = nullptr;
};

std::string Dates(std::int64_t added, std::int64_t modified) {
    std::string kept;
    if (added > 0) store::AddKeptAttribute(kept, store::kAddDate, std::to_string(added / kMicroseconds));
    if (modified > 0) store::AddKeptAttribute(kept, store::kLastModified, std::to_string(modified / kMicroseconds));
    return kept;
}

// The walk over a copy of the store: the roots in Firefox's order, each depth first, one
// statement per level stepping through the children of the folder open there.
class FirefoxStream final : public SetStream {
public:
    FirefoxStream(UrlSet& set, TextControl* statusText)
        : location_(set.location),
          status_(statusText),
          itemText_(LoadString(IDS_STATUS_LOADING_ITEM)),
          scratch_("places", {kCopyName, kCopyLogName, "places.sqlite-shm", "places.sqlite-journal"}) {}

    // Copies the store and its log and makes the copy ready to walk; empty text when done.
    std::string Open(File* store) {
        if (scratch_.Path().empty()) return "no private folder for a copy could be made";
        if (store == nullptr || !store->IsOpen() || !store->Seek(0)) return "the store is not open";
        const fs::path copy = scratch_.Path() / kCopyName;
        int errnoValue = 0;
        if (!CopyFile(*store, copy, errnoValue))
            return "copying it failed: " + std::generic_category().message(errnoValue);
        File log;
        if (log.OpenReadOnly(location_ + "-wal")) {
            if (!CopyFile(log, scratch_.Path() / kCopyLogName, errnoValue))
                return "copying its log failed: " + std::generic_category().message(errnoValue);
        }
        if (!db_.Open(copy)) return db_.Error();
        // Without the index the walk is slower, not wrong: a failure here is no failure to read.
        sqlite3_exec(db_.Get(), kParentIndex, nullptr, nullptr, nullptr);
        if (Statement probe; probe.Prepare(db_.Get(), kChildrenQuery)) {
            childrenQuery_ = kChildrenQuery;
        } else if (Statement plain; plain.Prepare(db_.Get(), kChildrenQueryWithoutKeywords)) {
            childrenQuery_ = kChildrenQueryWithoutKeywords;
        } else {
            return db_.Error();
        }
        if (!rootQuery_.Prepare(db_.Get(), kRootQuery)) return db_.Error();
        return CollectTags();
    }

    int More(UrlSet& set) override {
        // A stop the person asked for ends the read between two batches, quietly: the run says
        // it stopped, and the copy goes with the stream.
        if (StopRequested()) return -1;
        for (int appended = 0; appended < kBatch;) {
            if (frames_.empty()) {
                if (nextRoot_ == kRoots.size()) return 0;
                const Root& root = kRoots[nextRoot_++];
                rootQuery_.Restart(root.guid);
                const int step = rootQuery_.Step();
                if (step == SQLITE_DONE) continue;
                if (step != SQLITE_ROW) return Fail(set);
                if (entered_.contains(rootQuery_.Integer(0))) continue;
                if (!Enter(set, rootQuery_.Integer(0), root.name, Dates(rootQuery_.Integer(1), rootQuery_.Integer(2))))
                    return Fail(set);
                set.GetCursor()->mark = root.mark;
                ++appended;
                continue;
            }
            Statement& children = levels_[frames_.size() - 1];
            const int step = children.Step();
            if (step == SQLITE_DONE) {
                frames_.pop_back();
                set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
                ++appended;
                continue;
            }
            if (step != SQLITE_ROW) return Fail(set);
            const std::int64_t type = children.Integer(kType);
            if (type == kTypeFolder) {
                // A sound store gives each item one parent, but a damaged one may make a folder
                // its own ancestor: each folder is entered once, or the walk would never end.
                if (entered_.contains(children.Integer(kId))) continue;
                const std::string dates = Dates(children.Integer(kAdded), children.Integer(kModified));
                if (!Enter(set, children.Integer(kId), children.Text(kTitle), dates)) return Fail(set);
            } else if (type == kTypeSeparator) {
                set.Append(new UrlEntry(UrlEntryKind::Separator, {}));
            } else if (type == kTypeBookmark) {
                auto* link = new UrlEntry(UrlEntryKind::Link, children.Text(kTitle), children.Text(kUrl));
                std::string kept = Dates(children.Integer(kAdded), children.Integer(kModified));
                if (auto tags = tags_.find(children.Integer(kPlace)); tags != tags_.end())
                    store::AddKeptAttribute(kept, store::kTags, tags->second);
                if (const std::string_view keywords = children.Text(kKeywords); !keywords.empty())
                    store::AddKeptAttribute(kept, store::kShortcutUrl, std::string(keywords));
                link->extraAttributes = kept;
                set.Append(link);
                ++set.linkCount;
                ShowItem();
            } else {
                continue;
            }
            ++appended;
        }
        return 1;
    }

private:
    // A tag is a folder under the tags root; a bookmark inside it tags that bookmark's place.
    std::string CollectTags() {
        Statement tags;
        if (!tags.Prepare(db_.Get(), kTagsQuery)) return db_.Error();
        int step;
        while ((step = tags.Step()) == SQLITE_ROW) {
            std::string& list = tags_[tags.Integer(1)];
            if (!list.empty()) list += ',';
            list += tags.Text(0);
        }
        return step == SQLITE_DONE ? std::string() : db_.Error();
    }

    // Appends the folder and opens its children at the next level.
    bool Enter(UrlSet& set, std::int64_t id, std::string_view name, std::string_view dates) {
        entered_.insert(id);
        auto* folder = new UrlEntry(UrlEntryKind::FolderStart, name);
        folder->extraAttributes = dates;
        set.Append(folder);
        ++set.folderCount;
        ShowItem();
        if (levels_.size() == frames_.size()) {
            Statement level;
            if (!level.Prepare(db_.Get(), childrenQuery_)) return false;
            levels_.push_back(std::move(level));
        }
        levels_[frames_.size()].Restart(id);
        frames_.push_back(id);
        return true;
    }

    int Fail(UrlSet& set) {
        set.ShowRunMessage(FormatString(IDS_ERR_FIREFOX_READ, {location_, db_.Error()}));
        return -1;
    }

    void ShowItem() {
        if (status_) status_->SetText(itemText_.Advance());
    }

    std::string location_;
    TextControl* status_;
    CounterText itemText_;
    // Declared in the order they are made: the statements go before the database, the
    // database before the folder its copy lies in.
    ScratchFolder scratch_;
    Database db_;
    const char* childrenQuery_ = nullptr;
    Statement rootQuery_;
    std::deque<Statement> levels_;      // by depth; a folder's level is reused by the next one there
    std::vector<std::int64_t> frames_;  // the folders open, outermost first
    std::size_t nextRoot_ = 0;
    std::unordered_set<std::int64_t> entered_;
    std::unordered_map<std::int64_t, std::string> tags_;  // by place
};

}  // namespace

std::unique_ptr<SetStream> StreamFirefox(SetStorage& storage, TextControl* statusText) {
    UrlSet& set = storage.Set();
    auto stream = std::make_unique<FirefoxStream>(set, statusText);
    if (const std::string failure = stream->Open(storage.GetFile()); !failure.empty()) {
        set.ShowRunMessage(FormatString(IDS_ERR_FIREFOX_READ, {set.location, failure}));
        return nullptr;
    }
    return stream;
}

int ReadFirefox(SetStorage& storage, TextControl* statusText) {
    UrlSet& set = storage.Set();
    std::unique_ptr<SetStream> stream = StreamFirefox(storage, statusText);
    int more = stream ? 1 : -1;
    while (more > 0) more = stream->More(set);
    set.SetCursor(nullptr);
    if (more < 0) return 0;
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_FIREFOX_LOADED));
    return 1;
}

}  // namespace tolva
