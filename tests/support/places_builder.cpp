#include "support/places_builder.h"

#include <gtest/gtest.h>

#include <map>

namespace tolva::testing {

namespace {

constexpr char kSchema[] =
    "PRAGMA journal_mode = WAL;"
    "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, guid TEXT);"
    "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER,"
    " position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, dateAdded INTEGER,"
    " lastModified INTEGER, guid TEXT);"
    "CREATE TABLE moz_keywords (id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE, place_id INTEGER,"
    " post_data TEXT);";

constexpr int kBookmark = 1, kFolder = 2, kSeparator = 3;
constexpr std::int64_t kMicroseconds = 1000000;

}  // namespace

PlacesBuilder::PlacesBuilder(const std::string& path) {
    EXPECT_EQ(sqlite3_open(path.c_str(), &db_), SQLITE_OK) << path;
    Exec(kSchema);
    Item(kFolder, 0, 0, "", 0, "root________");
    Item(kFolder, 1, 0, "menu", 0, "menu________");
    Item(kFolder, 1, 0, "toolbar", 0, "toolbar_____");
    Item(kFolder, 1, 0, "tags", 0, "tags________");
    Item(kFolder, 1, 0, "unfiled", 0, "unfiled_____");
    Item(kFolder, 1, 0, "mobile", 0, "mobile______");
}

PlacesBuilder::~PlacesBuilder() { sqlite3_close(db_); }

void PlacesBuilder::Exec(const std::string& sql) {
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK) << (error ? error : "") << sql;
    sqlite3_free(error);
}

std::int64_t PlacesBuilder::Place(const std::string& url) {
    sqlite3_stmt* find = nullptr;
    sqlite3_prepare_v2(db_, "SELECT id FROM moz_places WHERE url = ?", -1, &find, nullptr);
    sqlite3_bind_text(find, 1, url.c_str(), -1, SQLITE_TRANSIENT);
    std::int64_t id = sqlite3_step(find) == SQLITE_ROW ? sqlite3_column_int64(find, 0) : 0;
    sqlite3_finalize(find);
    if (id != 0) return id;
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db_, "INSERT INTO moz_places (url, guid) VALUES (?, ?)", -1, &insert, nullptr);
    sqlite3_bind_text(insert, 1, url.c_str(), -1, SQLITE_TRANSIENT);
    const std::string guid = "place" + std::to_string(++nextGuid_);
    sqlite3_bind_text(insert, 2, guid.c_str(), -1, SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
    sqlite3_finalize(insert);
    return sqlite3_last_insert_rowid(db_);
}

std::int64_t PlacesBuilder::Item(int type, std::int64_t parent, std::int64_t place, const std::string& title,
                                 std::int64_t added, std::string_view guid) {
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db_,
                       "INSERT INTO moz_bookmarks (type, fk, parent, position, title, dateAdded, lastModified, guid)"
                       " VALUES (?, ?, ?, (SELECT count(*) FROM moz_bookmarks WHERE parent = ?), ?, ?, ?, ?)",
                       -1, &insert, nullptr);
    sqlite3_bind_int(insert, 1, type);
    if (place != 0) sqlite3_bind_int64(insert, 2, place);
    sqlite3_bind_int64(insert, 3, parent);
    sqlite3_bind_int64(insert, 4, parent);
    if (type != kSeparator) sqlite3_bind_text(insert, 5, title.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(insert, 6, added * kMicroseconds);
    sqlite3_bind_int64(insert, 7, added * kMicroseconds);
    const std::string itemGuid = guid.empty() ? "item" + std::to_string(++nextGuid_) : std::string(guid);
    sqlite3_bind_text(insert, 8, itemGuid.c_str(), -1, SQLITE_TRANSIENT);
    EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE) << sqlite3_errmsg(db_);
    sqlite3_finalize(insert);
    return sqlite3_last_insert_rowid(db_);
}

std::int64_t PlacesBuilder::Folder(std::int64_t parent, const std::string& title) {
    return Item(kFolder, parent, 0, title, 0);
}

std::int64_t PlacesBuilder::Bookmark(std::int64_t parent, const std::string& title, const std::string& url,
                                     std::int64_t addedSeconds) {
    return Item(kBookmark, parent, Place(url), title, addedSeconds);
}

void PlacesBuilder::Separator(std::int64_t parent) { Item(kSeparator, parent, 0, "", 0); }

void PlacesBuilder::Tag(const std::string& url, const std::string& tag) {
    sqlite3_stmt* find = nullptr;
    sqlite3_prepare_v2(db_, "SELECT id FROM moz_bookmarks WHERE parent = ? AND title = ?", -1, &find, nullptr);
    sqlite3_bind_int64(find, 1, kTags);
    sqlite3_bind_text(find, 2, tag.c_str(), -1, SQLITE_TRANSIENT);
    std::int64_t folder = sqlite3_step(find) == SQLITE_ROW ? sqlite3_column_int64(find, 0) : 0;
    sqlite3_finalize(find);
    if (folder == 0) folder = Folder(kTags, tag);
    Item(kBookmark, folder, Place(url), "", 0);
}

void PlacesBuilder::Keyword(const std::string& url, const std::string& keyword) {
    Exec("INSERT INTO moz_keywords (keyword, place_id) VALUES ('" + keyword + "', " + std::to_string(Place(url)) + ")");
}

void PlacesBuilder::Begin() { Exec("BEGIN"); }
void PlacesBuilder::Commit() { Exec("COMMIT"); }

void MakeSamplePlaces(const std::string& path) {
    PlacesBuilder places(path);
    const std::int64_t news = places.Folder(PlacesBuilder::kMenu, "Nachrichten & Wetter");
    places.Bookmark(news, "Tagesschau – Startseite", "https://www.tagesschau.example/", 1700000000);
    places.Separator(news);
    const std::int64_t deep = places.Folder(news, "日本語");
    places.Bookmark(deep, "ニュース", "https://news.example.jp/", 1700000100);
    places.Bookmark(PlacesBuilder::kMenu, "Mozilla", "https://www.mozilla.example/");
    places.Bookmark(PlacesBuilder::kToolbar, "Wiki", "https://wiki.example/?q=%s");
    places.Separator(PlacesBuilder::kToolbar);
    places.Bookmark(PlacesBuilder::kUnfiled, "Ελληνικά", "https://el.example/");
    places.Tag("https://www.tagesschau.example/", "news");
    places.Tag("https://www.tagesschau.example/", "deutsch");
    places.Keyword("https://wiki.example/?q=%s", "w");
}

std::string SampleBackupJson() {
    auto container = [](const std::string& guid, const std::string& title, const std::string& children) {
        return "{\"guid\":\"" + guid + "\",\"title\":\"" + title +
               "\",\"index\":0,\"dateAdded\":1700000000000000,\"lastModified\":1700000100000000,\"id\":2,"
               "\"typeCode\":2,\"type\":\"text/x-moz-place-container\",\"children\":[" +
               children + "]}";
    };
    auto bookmark = [](const std::string& title, const std::string& uri, const std::string& more = "") {
        return "{\"guid\":\"b\",\"title\":\"" + title +
               "\",\"index\":0,\"dateAdded\":1700000000000000,\"lastModified\":1700000000000000,\"id\":9,"
               "\"typeCode\":1" +
               more + ",\"type\":\"text/x-moz-place\",\"uri\":\"" + uri + "\"}";
    };
    const std::string separator =
        "{\"guid\":\"s\",\"title\":\"\",\"index\":1,\"typeCode\":3,"
        "\"type\":\"text/x-moz-place-separator\"}";
    const std::string menu = container("menu________", "menu",
                                       container("f1", "Ordner",
                                                 container("f2", "Tiefer",
                                                           bookmark("Überblick \\\"A\\\"", "https://a.example/ü",
                                                                    ",\"tags\":\"news,daily\",\"keyword\":\"ub\"")) +
                                                     "," + separator + "," + bookmark("日本", "https://jp.example/")) +
                                           "," + bookmark("Top", "https://top.example/"));
    return container(
        "root________", "",
        menu + "," + container("toolbar_____", "toolbar", bookmark("Bar", "https://bar.example/", ",\"tags\":\"t1\"")) +
            "," + container("tags________", "tags", container("t", "news", "")) + "," +
            container("unfiled_____", "unfiled", "") + "," +
            container("mobile______", "mobile", bookmark("Handy", "https://m.example/")));
}

}  // namespace tolva::testing
