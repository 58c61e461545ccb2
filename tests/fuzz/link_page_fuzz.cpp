// The page-of-links reader over arbitrary bytes: reading must end, and what it reads is a flat
// list of links, each with a URL and a name that is one line without markup, so that any
// bookmark file written from it keeps one link per item.
#include <cstdlib>
#include <string_view>

#include "formats/set_storage.h"
#include "fuzz_support.h"
#include "model/url_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolva::fuzz::MemoryLocation input(data, size);
    if (!input.Ok()) return 0;
    tolva::UrlSet set;
    tolva::SetStorage storage(set);
    if (!storage.Open(tolva::UrlSetOpenMode::OpenExisting, tolva::UrlSetFormat::LinkPage, input.Path())) std::abort();
    if (!storage.Read(nullptr)) return 0;
    int links = 0;
    // The set's closing folder end aside.
    for (const tolva::UrlEntry* entry = set.root.next; entry && entry->next; entry = entry->next, ++links) {
        const std::string_view name = entry->name.view();
        if (entry->kind != tolva::UrlEntryKind::Link || entry->url.empty()) std::abort();
        if (name.find_first_of("<\r\n") != std::string_view::npos) std::abort();
    }
    if (links != set.linkCount) std::abort();
    return 0;
}
