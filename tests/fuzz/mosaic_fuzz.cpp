// The Mosaic reader over arbitrary bytes, and the writer's output read back unchanged.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    tolva::fuzz::CheckStableRoundTrip(tolva::UrlSetFormat::Mosaic, data, size);
    return 0;
}
