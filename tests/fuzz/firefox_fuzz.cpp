// The Firefox reader over arbitrary bytes taken as a places.sqlite: reading must end without
// fault whatever the database holds (SQLite meets a damaged file; the reader meets odd
// tables, types and parent links), and the set it read, written as XBEL, must read back whole.
// The store itself is never written, so there is no fixed point of its own to check.
#include <cstdlib>
#include <filesystem>

#include "formats/set_storage.h"
#include "fuzz_support.h"
#include "model/url_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolva::fuzz::MemoryLocation input(data, size);
    if (!input.Ok()) return 0;
    tolva::UrlSet set;
    tolva::SetStorage storage(set);
    if (!storage.Open(tolva::UrlSetOpenMode::OpenExisting, tolva::UrlSetFormat::Firefox, input.Path())) std::abort();
    if (!storage.Read(nullptr)) return 0;
    storage.CloseFile();
    const std::int32_t links = set.linkCount;
    const std::int32_t folders = set.folderCount;
    const std::string written = (tolva::fuzz::ScratchFolder() / "places.xbel").string();
    std::filesystem::remove(written);
    set.format = tolva::UrlSetFormat::Xbel;
    if (!storage.Open(tolva::UrlSetOpenMode::CreateNew, tolva::UrlSetFormat::Xbel, written) || !storage.Write())
        std::abort();
    storage.Close();
    tolva::UrlSet back;
    tolva::SetStorage backStorage(back);
    if (!backStorage.Open(tolva::UrlSetOpenMode::OpenExisting, tolva::UrlSetFormat::Xbel, written) ||
        !backStorage.Read(nullptr))
        std::abort();
    if (back.linkCount != links || back.folderCount != folders) std::abort();
    backStorage.Close();
    return 0;
}
