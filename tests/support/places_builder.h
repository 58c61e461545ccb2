#pragma once
// Makes a Firefox bookmark store (places.sqlite) for tests: the tables and columns Tolva
// reads, laid out as Firefox lays them out, with its roots, in WAL mode as Firefox keeps it.

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace tolva::testing {

class PlacesBuilder {
public:
    explicit PlacesBuilder(const std::string& path);
    ~PlacesBuilder();
    PlacesBuilder(const PlacesBuilder&) = delete;
    PlacesBuilder& operator=(const PlacesBuilder&) = delete;

    // The ids of the roots.
    static constexpr std::int64_t kMenu = 2;
    static constexpr std::int64_t kToolbar = 3;
    static constexpr std::int64_t kTags = 4;
    static constexpr std::int64_t kUnfiled = 5;
    static constexpr std::int64_t kMobile = 6;

    std::int64_t Folder(std::int64_t parent, const std::string& title);
    // addedSeconds: the bookmark's dateAdded, in seconds (stored in microseconds).
    std::int64_t Bookmark(std::int64_t parent, const std::string& title, const std::string& url,
                          std::int64_t addedSeconds = 0);
    void Separator(std::int64_t parent);
    // Tags the place of url, as Firefox does: a bookmark of it inside the tag's folder.
    void Tag(const std::string& url, const std::string& tag);
    void Keyword(const std::string& url, const std::string& keyword);
    // Many statements in one transaction, for large stores.
    void Begin();
    void Commit();

    sqlite3* Db() const { return db_; }

private:
    void Exec(const std::string& sql);
    std::int64_t Place(const std::string& url);
    std::int64_t Item(int type, std::int64_t parent, std::int64_t place, const std::string& title, std::int64_t added,
                      std::string_view guid = {});

    sqlite3* db_ = nullptr;
    std::int64_t nextGuid_ = 0;
};

// A store with what the readers must keep: nested folders, separators, names in several
// scripts, tags and a keyword, in three of the four roots.
void MakeSamplePlaces(const std::string& path);

// A bookmark backup's JSON as Firefox writes it (guids left short), with the same kinds of
// entries: nested folders, a separator, tags, a keyword, non-ASCII names, a toolbar, a mobile
// bookmark, an empty root and the tags root.
std::string SampleBackupJson();

}  // namespace tolva::testing
