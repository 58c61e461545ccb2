#pragma once
// Opening a translation's destination, with the questions it raises when something is in
// the way: an existing bookmark file or hotlist (back it up, or replace it?), an existing
// shortcut folder (use it?), a missing one (create it?). The backup question defaults to Yes
// and can be cancelled, the others default to No, and nothing is removed without a backup or a No.

#include <cstdint>
#include <string>

#include "formats/set_storage.h"

namespace tolva {

// Opens storage's set as a new set of format at location, asking the questions through the
// set's prompter where Open meets them. Returns what Open returns.
int OpenDestination(SetStorage& storage, UrlSetFormat format, const std::string& location);

}  // namespace tolva
