// The Firefox backup reader over arbitrary bytes (plain JSON, or JSON in the compressed
// container), then the writer and the reader again. Reading must end without fault, and what
// the writer makes of any set it read must read back. The first pass may move top-level folders
// to the roots they name; after it, the entries must come back as they went, in both
// containers. (The bytes differ each time: every item gets a new guid.)
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "model/url_set.h"

namespace {

using namespace tolva;

// The set at location as one line per entry, after writing it to writeTo when given; empty
// when it could not be read. Arbitrary bytes may be refused at opening (another format's
// signature shows in them); a file the writer made never may.
std::vector<std::string> ReadEntries(const std::string& location, const std::string& writeTo, bool arbitrary = false) {
    UrlSet set;
    SetStorage storage{set};
    if (!storage.Open(UrlSetOpenMode::OpenExisting, UrlSetFormat::FirefoxBackup, location)) {
        if (arbitrary) return {};
        std::abort();
    }
    if (!storage.Read(nullptr)) return {};
    storage.CloseFile();
    std::vector<std::string> entries;
    for (const UrlEntry* entry = set.root.next; entry; entry = entry->next) {
        entries.push_back(std::to_string(static_cast<int>(entry->kind)) + "|" + entry->name.str() + "|" +
                          entry->url.str() + "|" + entry->extraAttributes.str());
    }
    if (!writeTo.empty()) {
        std::filesystem::remove(writeTo);
        if (!storage.Open(UrlSetOpenMode::CreateNew, UrlSetFormat::FirefoxBackup, writeTo)) std::abort();
        if (!storage.Write()) std::abort();
        storage.Close();
    }
    return entries;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::MemoryLocation input(data, size);
    if (!input.Ok()) return 0;
    const std::string plain = (fuzz::ScratchFolder() / "first.json").string();
    const std::string packed = (fuzz::ScratchFolder() / "second.jsonlz4").string();
    if (ReadEntries(input.Path(), plain, true).empty()) return 0;
    const std::vector<std::string> settled = ReadEntries(plain, packed);
    if (ReadEntries(packed, "") != settled) std::abort();
    return 0;
}
