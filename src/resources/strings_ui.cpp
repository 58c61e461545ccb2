#include "resources/strings.h"

namespace tolva {

namespace {

// Placeholder row so the array is never empty; id 0 is never looked up.
constexpr StringEntry kUiStrings[] = {
    {0, ""},
};

}  // namespace

std::span<const StringEntry> UiStrings() { return kUiStrings; }

}  // namespace tolva
