// The Firefox reader over arbitrary bytes taken as a places.sqlite: reading must end without
// fault whatever the database holds (SQLite meets a damaged file; the reader meets odd
// tables, types and parent links), and the set it read, written as XBEL, must read back whole.
// The store itself is never written, so there is no fixed point of its own to check.
#include <cstdlib>
#include <filesystem>

#include "fuzz_support.h"
#include "model/url_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolva::fuzz::MemoryLocation input(data, size);
    if (!input.Ok()) return 0;
    tolva::UrlSet set;
    if (!set.Open(tolva::UrlSetOpenMode::OpenExisting, tolva::UrlSetFormat::Firefox, input.Path())) std::abort();
    if (!set.Read(nullptr)) return 0;
    set.CloseFile();
    const std::int32_t links = set.linkCount;
    const std::int32_t folders = set.folderCount;
    const std::string written = (tolva::fuzz::ScratchFolder() / "places.xbel").string();
    std::filesystem::remove(written);
    set.format = tolva::UrlSetFormat::Xbel;
    if (!set.Open(tolva::UrlSetOpenMode::CreateNew, tolva::UrlSetFormat::Xbel, written) || !set.Write()) std::abort();
    set.Close();
    tolva::UrlSet back;
    if (!back.Open(tolva::UrlSetOpenMode::OpenExisting, tolva::UrlSetFormat::Xbel, written) || !back.Read(nullptr))
        std::abort();
    if (back.linkCount != links || back.folderCount != folders) std::abort();
    back.Close();
    return 0;
}
