#pragma once
// A fresh folder under the system's temporary folder, removed with everything in it when
// the test ends, plus small file helpers for fixtures.

#include <filesystem>
#include <string>
#include <vector>

namespace tolva::testing {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path of name inside the folder, as text.
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
// Every path below top, sorted, a folder's (not a link's) with a trailing "/".
std::vector<std::string> Tree(const std::filesystem::path& top);
// Contents of a fixture under tests/data.
std::string ReadFixture(const std::string& relativePath);
std::string FixturePath(const std::string& relativePath);
// Path in the corpus of real exports kept outside the repository; TOLVA_CORPUS_DIR in the
// environment points elsewhere, e.g. from a worktree that is not beside it.
std::string CorpusPath(const std::string& relativePath);
// Whether the file at path starts as a bookmark file does: the corpus also holds exports of
// other kinds saved under the same extension, and empty files, which are no set at all.
bool StartsAsBookmarkFile(const std::string& path);

}  // namespace tolva::testing
