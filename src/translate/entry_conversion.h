#pragma once
// The renaming rules between formats: names adapted when a set goes to or comes from a
// folder of shortcut files (ampersands and file-name-safe names).

#include <cstdint>
#include <string>

#include "model/url_set.h"

namespace tolva {

// The candidate name of entry under the rule of the format pair from -> to. Returns false
// when the pair has no rule (the name stays as it is).
bool RenamingRuleCandidate(std::int32_t fromFormat, std::int32_t toFormat, const UrlEntry& entry, bool fixAmpersands,
                           std::string& candidate);

}  // namespace tolva
