#include "resources/strings.h"

namespace tolva {

namespace {

// Placeholder row so the array is never empty; id 0 is never looked up.
constexpr StringEntry kVerifyStrings[] = {
    {0, ""},
};

}  // namespace

std::span<const StringEntry> VerifyStrings() { return kVerifyStrings; }

}  // namespace tolva
