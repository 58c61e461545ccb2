// The Netscape reader over arbitrary bytes, then the writer and the reader once more: reading
// must end, and what the writer makes of any set must read back as the same entries, one item
// per line, however odd the names, URLs and attributes the first read produced; and after one
// pass the written file is a fixed point.
#include <cstdlib>
#include <vector>

#include "formats/netscape.h"
#include "formats/set_storage.h"
#include "fuzz_support.h"
#include "model/url_set.h"

namespace {

std::vector<tolva::UrlEntryKind> Kinds(const tolva::UrlSet& set) {
    std::vector<tolva::UrlEntryKind> kinds;
    for (const tolva::UrlEntry* entry = set.root.next; entry; entry = entry->next) kinds.push_back(entry->kind);
    return kinds;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolva::fuzz::MemoryLocation input(data, size);
    tolva::fuzz::MemoryLocation output(nullptr, 0);
    if (!input.Ok() || !output.Ok()) return 0;

    tolva::UrlSet first;
    tolva::SetStorage firstStorage(first);
    if (!firstStorage.Open(tolva::UrlSetOpenMode::OpenExisting, tolva::UrlSetFormat::Netscape, input.Path()))
        std::abort();
    if (!firstStorage.Read(nullptr)) return 0;
    firstStorage.CloseFile();
    // The writer itself, not Write's replace-through-a-temporary-file, keeps this in memory.
    if (!firstStorage.Open(tolva::UrlSetOpenMode::OpenExisting, tolva::UrlSetFormat::Netscape, output.Path()))
        std::abort();
    if (!tolva::WriteNetscape(firstStorage)) std::abort();
    firstStorage.CloseFile();

    tolva::UrlSet second;
    tolva::SetStorage secondStorage(second);
    if (!secondStorage.Open(tolva::UrlSetOpenMode::OpenExisting, tolva::UrlSetFormat::Netscape, output.Path()))
        std::abort();
    if (!secondStorage.Read(nullptr)) std::abort();
    if (Kinds(second) != Kinds(first)) std::abort();
    tolva::fuzz::CheckStableRoundTrip(tolva::UrlSetFormat::Netscape, data, size);
    return 0;
}
