#include "translate/entry_conversion.h"

namespace tolva {

bool RenamingRuleCandidate(std::int32_t fromFormat, std::int32_t toFormat, const UrlEntry& entry, bool fixAmpersands,
                           std::string& candidate) {
    // No pair has a rule yet.
    (void)fromFormat;
    (void)toFormat;
    (void)fixAmpersands;
    candidate = entry.name;
    return false;
}

}  // namespace tolva
