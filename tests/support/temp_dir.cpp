#include "support/temp_dir.h"

#include "formats/format_guess.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace tolva::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tolva-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Tree(const std::filesystem::path& top) {
    std::vector<std::string> out;
    for (const auto& item : std::filesystem::recursive_directory_iterator(top)) {
        const bool folder = !item.is_symlink() && item.is_directory();
        out.push_back(item.path().lexically_relative(top).string() + (folder ? "/" : ""));
    }
    std::sort(out.begin(), out.end());
    return out;
}

std::string FixturePath(const std::string& relativePath) {
    return std::string(TOLVA_TEST_DATA_DIR) + "/" + relativePath;
}

std::string CorpusPath(const std::string& relativePath) {
    const char* override = ::getenv("TOLVA_CORPUS_DIR");
    return std::string(override ? override : TOLVA_CORPUS_DIR) + "/" + relativePath;
}

bool StartsAsBookmarkFile(const std::string& path) {
    return FormatOfFirstBytes(ReadFile(path).substr(0, 4096)) == UrlSetFormat::Netscape;
}

std::string ReadFixture(const std::string& relativePath) { return ReadFile(FixturePath(relativePath)); }

}  // namespace tolva::testing
