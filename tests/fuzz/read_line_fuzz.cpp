// ReadLine over arbitrary bytes: it must end, never return a piece longer than the limit or
// holding a line break, and lose no byte other than the line breaks and zero bytes.
#include <cstdlib>
#include <string>

#include "formats/set_storage.h"
#include "fuzz_support.h"
#include "model/url_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolva::fuzz::MemoryLocation input(data, size);
    if (!input.Ok()) return 0;
    tolva::UrlSet set;
    tolva::SetStorage storage(set);
    if (!storage.Open(tolva::UrlSetOpenMode::OpenExisting, tolva::UrlSetFormat::Netscape, input.Path())) std::abort();

    std::string expected;
    for (std::size_t i = 0; i < size; ++i) {
        char c = static_cast<char>(data[i]);
        if (c != '\r' && c != '\n' && c != '\0') expected += c;
    }
    std::string joined;
    std::string piece;
    std::size_t pieces = 0;
    while (storage.ReadLine(piece)) {
        if (piece.size() > tolva::kReadLineLimit) std::abort();
        if (piece.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) std::abort();
        joined += piece;
        // Every call consumes at least one byte, so there are never more pieces than bytes.
        if (++pieces > size) std::abort();
    }
    if (joined != expected || storage.ReadFailed()) std::abort();
    return 0;
}
