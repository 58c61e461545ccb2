// The Chromium reader over arbitrary bytes, then the writer and the reader once more: reading
// must end without fault, what the writer makes of any set it read must read back, and after
// one pass the written file is a fixed point.
#include <cstdlib>

#include "fuzz_support.h"
#include "model/url_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolva::fuzz::CheckStableRoundTrip(tolva::UrlSetFormat::Chromium, data, size);
    return 0;
}
