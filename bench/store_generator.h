#pragma once
// Writes the browsers' own bookmark stores for the benchmarks: a Firefox places.sqlite and a
// Chromium Bookmarks file of a given number of links, laid out alike: nested folders (about one
// every 25 links, up to four deep), names in several scripts, dates, and for Firefox a separator
// every 100 links, a tag on every tenth link and a keyword on every thousandth. The same count
// always gives the same store.

#include <sqlite3.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace tolva::bench {

// One step of the shared layout.
enum class StoreStep { OpenFolder, Link, Separator, CloseFolder };

// Calls step for every folder, link and separator, in order, below one root.
inline void WalkStoreLayout(int links, const std::function<void(StoreStep, int)>& step) {
    std::uint32_t seed = 54321;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    int depth = 0;
    int folders = 0;
    for (int i = 0; i < links; ++i) {
        if (i % 25 == 0) {
            if (depth > 0 && (depth == 4 || next() % 3 == 0)) {
                step(StoreStep::CloseFolder, 0);
                --depth;
            }
            step(StoreStep::OpenFolder, ++folders);
            ++depth;
        }
        step(StoreStep::Link, i);
        if (i % 100 == 99) step(StoreStep::Separator, i);
    }
    while (depth-- > 0) step(StoreStep::CloseFolder, 0);
}

inline std::string StoreFolderName(int folder) {
    static const char* const kWords[] = {"Nachrichten & Wetter", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                                         "\xCE\x95\xCE\xBB\xCE\xBB\xCE\xB7\xCE\xBD\xCE\xB9\xCE\xBA\xCE\xAC",
                                         "Caf\xC3\xA9 <Recipes>", "Work \"Tools\""};
    return std::string(kWords[folder % 5]) + " " + std::to_string(folder);
}

inline std::string StoreLinkName(int link) {
    return "Link number " + std::to_string(link) +
           " \xE2\x80\x94 caf\xC3\xA9 & \xE3\x83\x8B\xE3\x83\xA5\xE3\x83\xBC\xE3\x82\xB9";
}

inline std::string StoreLinkUrl(int link) {
    return "https://www.example" + std::to_string(link % 1000) + ".com/path/" + std::to_string(link) +
           "/page.html?q=" + std::to_string(link * 7919 % 100003);
}

// Firefox's tables and the indexes its reads use, in WAL mode as Firefox keeps them.
constexpr char kPlacesSchema[] =
    "PRAGMA journal_mode = WAL;"
    "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR, rev_host LONGVARCHAR,"
    " visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL, typed INTEGER DEFAULT 0 NOT NULL,"
    " frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER, guid TEXT, foreign_count INTEGER DEFAULT 0"
    " NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL, description TEXT, preview_image_url TEXT);"
    "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER,"
    " position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, dateAdded INTEGER,"
    " lastModified INTEGER, guid TEXT, syncStatus INTEGER NOT NULL DEFAULT 0, syncChangeCounter INTEGER NOT"
    " NULL DEFAULT 1);"
    "CREATE TABLE moz_keywords (id INTEGER PRIMARY KEY AUTOINCREMENT, keyword TEXT UNIQUE, place_id INTEGER,"
    " post_data TEXT);"
    "CREATE INDEX moz_places_url_hashindex ON moz_places (url_hash);"
    "CREATE UNIQUE INDEX moz_places_guid_uniqueindex ON moz_places (guid);"
    "CREATE INDEX moz_bookmarks_itemindex ON moz_bookmarks (fk, type);"
    "CREATE INDEX moz_bookmarks_parentindex ON moz_bookmarks (parent, position);"
    "CREATE UNIQUE INDEX moz_bookmarks_guid_uniqueindex ON moz_bookmarks (guid);"
    "CREATE UNIQUE INDEX moz_keywords_placepostdata_uniqueindex ON moz_keywords (place_id, post_data);";

// Returns false when the store cannot be written.
inline bool WritePlaces(const std::string& path, int links) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return false;
    }
    bool ok = sqlite3_exec(db, kPlacesSchema, nullptr, nullptr, nullptr) == SQLITE_OK &&
              sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* item = nullptr;
    sqlite3_stmt* place = nullptr;
    sqlite3_stmt* keyword = nullptr;
    ok = ok &&
         sqlite3_prepare_v2(db,
                            "INSERT INTO moz_bookmarks (id, type, fk, parent, position, title, dateAdded,"
                            " lastModified, guid) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                            -1, &item, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db,
                            "INSERT INTO moz_places (id, url, title, rev_host, visit_count, frecency, guid,"
                            " url_hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                            -1, &place, nullptr) == SQLITE_OK &&
         sqlite3_prepare_v2(db, "INSERT INTO moz_keywords (keyword, place_id) VALUES (?, ?)", -1, &keyword, nullptr) ==
             SQLITE_OK;

    std::int64_t nextId = 0;
    std::int64_t nextPlace = 0;
    // Each open folder's id and the position its next child takes.
    std::vector<std::pair<std::int64_t, int>> open;
    auto insert = [&](int type, std::int64_t fk, std::int64_t parent, int position, const std::string& title,
                      std::int64_t added, const std::string& guid) {
        sqlite3_reset(item);
        sqlite3_bind_int64(item, 1, ++nextId);
        sqlite3_bind_int(item, 2, type);
        if (fk != 0) {
            sqlite3_bind_int64(item, 3, fk);
        } else {
            sqlite3_bind_null(item, 3);
        }
        sqlite3_bind_int64(item, 4, parent);
        sqlite3_bind_int(item, 5, position);
        if (type == 3) {
            sqlite3_bind_null(item, 6);
        } else {
            sqlite3_bind_text(item, 6, title.c_str(), -1, SQLITE_TRANSIENT);
        }
        sqlite3_bind_int64(item, 7, added * 1000000);
        sqlite3_bind_int64(item, 8, added > 0 ? added * 1000000 + 5000000 : 0);
        const std::string itemGuid = guid.empty() ? "bm" + std::to_string(nextId) : guid;
        sqlite3_bind_text(item, 9, itemGuid.c_str(), -1, SQLITE_TRANSIENT);
        ok = ok && sqlite3_step(item) == SQLITE_DONE;
        return nextId;
    };
    auto child = [&](int type, std::int64_t fk, const std::string& title, std::int64_t added) {
        auto& [parent, position] = open.back();
        return insert(type, fk, parent, position++, title, added, {});
    };
    auto newPlace = [&](const std::string& url, const std::string& title, int link) {
        sqlite3_reset(place);
        sqlite3_bind_int64(place, 1, ++nextPlace);
        sqlite3_bind_text(place, 2, url.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(place, 3, title.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(place, 4, "moc.elpmaxe.www.", -1, SQLITE_STATIC);
        sqlite3_bind_int(place, 5, link % 17);
        sqlite3_bind_int(place, 6, 100 + link % 2000);
        const std::string guid = "pl" + std::to_string(nextPlace);
        sqlite3_bind_text(place, 7, guid.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(place, 8, static_cast<std::int64_t>(std::hash<std::string>{}(url)&0xFFFFFFFFFFFF));
        ok = ok && sqlite3_step(place) == SQLITE_DONE;
        return nextPlace;
    };

    // The roots, with the ids and guids Firefox gives them.
    insert(2, 0, 0, 0, "", 0, "root________");
    const std::int64_t menu = insert(2, 0, 1, 0, "menu", 0, "menu________");
    insert(2, 0, 1, 1, "toolbar", 0, "toolbar_____");
    const std::int64_t tags = insert(2, 0, 1, 2, "tags", 0, "tags________");
    insert(2, 0, 1, 3, "unfiled", 0, "unfiled_____");
    insert(2, 0, 1, 4, "mobile", 0, "mobile______");
    constexpr int kTags = 20;
    std::vector<std::pair<std::int64_t, int>> tagFolders;
    for (int t = 0; t < kTags; ++t)
        tagFolders.emplace_back(insert(2, 0, tags, t, "tag-\xC3\xA9t\xC3\xA9-" + std::to_string(t), 0, {}), 0);

    open.emplace_back(menu, 0);
    WalkStoreLayout(links, [&](StoreStep step, int n) {
        switch (step) {
            case StoreStep::OpenFolder:
                open.emplace_back(child(2, 0, StoreFolderName(n), 1700000000 + n), 0);
                break;
            case StoreStep::CloseFolder:
                open.pop_back();
                break;
            case StoreStep::Separator:
                child(3, 0, {}, 1700000000);
                break;
            case StoreStep::Link: {
                const std::string url = StoreLinkUrl(n);
                const std::string name = StoreLinkName(n);
                const std::int64_t placeId = newPlace(url, name, n);
                child(1, placeId, name, 1600000000 + n);
                if (n % 10 == 0) {
                    auto& [tagFolder, position] = tagFolders[static_cast<std::size_t>(n / 10 % kTags)];
                    insert(1, placeId, tagFolder, position++, {}, 1600000000 + n, {});
                }
                if (n % 1000 == 0) {
                    sqlite3_reset(keyword);
                    const std::string word = "kw" + std::to_string(n);
                    sqlite3_bind_text(keyword, 1, word.c_str(), -1, SQLITE_TRANSIENT);
                    sqlite3_bind_int64(keyword, 2, placeId);
                    ok = ok && sqlite3_step(keyword) == SQLITE_DONE;
                }
                break;
            }
        }
    });
    sqlite3_finalize(item);
    sqlite3_finalize(place);
    sqlite3_finalize(keyword);
    ok = ok && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    return sqlite3_close(db) == SQLITE_OK && ok;
}

// A JSON string of UTF-8 text: quotes and backslashes escaped, as Chromium writes them.
inline void AddJson(std::ofstream& out, const std::string& text) {
    out << '"';
    for (char c : text) {
        if (c == '"' || c == '\\') out << '\\';
        out << c;
    }
    out << '"';
}

// A Chromium Bookmarks file, the links in its bookmark bar, spelled as Chromium spells it.
inline bool WriteChromiumBookmarks(const std::string& path, int links) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    int id = 4;  // 1 to 3 are the roots
    int depth = 3;
    // Whether the open folder has a child yet, to place the commas.
    std::vector<bool> hasChild{false};
    std::vector<int> folders;  // the number of each open folder, for its name
    auto indent = [&] { return std::string(static_cast<std::size_t>(depth) * 3, ' '); };
    auto separate = [&] {
        if (hasChild.back()) out << ", ";
        hasChild.back() = true;
    };
    auto date = [](std::int64_t seconds) { return std::to_string((seconds + 11644473600) * 1000000); };
    out << "{\n   \"checksum\": \"0123456789abcdef0123456789abcdef\",\n   \"roots\": {\n"
           "      \"bookmark_bar\": {\n         \"children\": [ ";
    WalkStoreLayout(links, [&](StoreStep step, int n) {
        switch (step) {
            case StoreStep::OpenFolder:
                separate();
                out << "{\n" << indent() << "   \"children\": [ ";
                hasChild.push_back(false);
                folders.push_back(n);
                depth += 2;
                break;
            case StoreStep::CloseFolder: {
                depth -= 2;
                hasChild.pop_back();
                const int folder = folders.back();
                folders.pop_back();
                const std::string in = indent() + "   ";
                out << " ],\n"
                    << in << "\"date_added\": \"" << date(1700000000 + id) << "\",\n"
                    << in << "\"date_modified\": \"" << date(1700000100 + id) << "\",\n"
                    << in << "\"guid\": \"00000000-0000-4000-8000-" << 100000000000 + id << "\",\n"
                    << in << "\"id\": \"" << id << "\",\n"
                    << in << "\"name\": ";
                // A folder's own fields follow its children, as Chromium writes them.
                AddJson(out, StoreFolderName(folder));
                out << ",\n" << in << "\"type\": \"folder\"\n" << indent() << "}";
                ++id;
                break;
            }
            case StoreStep::Separator:
                break;  // Chromium has none
            case StoreStep::Link: {
                separate();
                const std::string in = indent() + "   ";
                out << "{\n"
                    << in << "\"date_added\": \"" << date(1600000000 + n) << "\",\n"
                    << in << "\"date_last_used\": \"" << (n % 3 == 0 ? date(1650000000 + n) : "0") << "\",\n"
                    << in << "\"guid\": \"00000000-0000-4000-8000-" << 100000000000 + id << "\",\n"
                    << in << "\"id\": \"" << id << "\",\n";
                if (n % 50 == 0)
                    out << in << "\"meta_info\": {\n" << in << "   \"power_bookmark_meta\": \"\"\n" << in << "},\n";
                out << in << "\"name\": ";
                AddJson(out, StoreLinkName(n));
                out << ",\n" << in << "\"type\": \"url\",\n" << in << "\"url\": ";
                AddJson(out, StoreLinkUrl(n));
                out << "\n" << indent() << "}";
                ++id;
                break;
            }
        }
    });
    out << " ],\n"
           "         \"date_added\": \"13300000000000000\",\n"
           "         \"date_modified\": \"13300000000000000\",\n"
           "         \"guid\": \"0bc5d13f-2cba-5d74-951f-3f233fe6c908\",\n"
           "         \"id\": \"1\",\n"
           "         \"name\": \"Bookmarks bar\",\n"
           "         \"type\": \"folder\"\n"
           "      },\n"
           "      \"other\": {\n"
           "         \"children\": [  ],\n"
           "         \"date_added\": \"13300000000000000\",\n"
           "         \"date_modified\": \"0\",\n"
           "         \"guid\": \"82b081ec-3dd3-529c-8475-ab6c344590dd\",\n"
           "         \"id\": \"2\",\n"
           "         \"name\": \"Other bookmarks\",\n"
           "         \"type\": \"folder\"\n"
           "      },\n"
           "      \"synced\": {\n"
           "         \"children\": [  ],\n"
           "         \"date_added\": \"13300000000000000\",\n"
           "         \"date_modified\": \"0\",\n"
           "         \"guid\": \"4cf2e351-0e85-532b-bb37-df045d8f8d0f\",\n"
           "         \"id\": \"3\",\n"
           "         \"name\": \"Mobile bookmarks\",\n"
           "         \"type\": \"folder\"\n"
           "      }\n"
           "   },\n"
           "   \"version\": 1\n"
           "}\n";
    return static_cast<bool>(out);
}

}  // namespace tolva::bench
