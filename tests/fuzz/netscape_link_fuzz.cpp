// The quick way of reading a Netscape link against the general one: wherever the quick one
// takes a link, both must find the same name, URL, preserved name and place, and kept
// attributes, byte for byte.
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "formats/netscape_link.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    std::unique_ptr<tolva::UrlEntry> quick(tolva::netscape::ParsePlainLink(body));
    if (!quick) return 0;
    tolva::netscape::LinkScratch scratch;
    std::unique_ptr<tolva::UrlEntry> general(tolva::netscape::ParseAnyLink(body, true, scratch));
    if (quick->name != general->name || quick->url != general->url || quick->preservedName != general->preservedName ||
        quick->preservedLocation != general->preservedLocation ||
        quick->extraAttributes != general->extraAttributes) {
        std::abort();
    }
    return 0;
}
