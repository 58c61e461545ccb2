#pragma once
// Retargeting a read set to the destination of a translation.

#include <cstdint>
#include <string>

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

// Moves set to destinationLocation and, for another format, to destinationFormat, renaming
// its entries by the rules of the format pair (translate/entry_conversion.h); with
// restoreNames, entries of a shortcut tree get back the names they had before they were
// adapted to file names. The progress bar and text, when given, count the links. Returns how many entries were renamed.
int ConvertTo(UrlSet& set, bool fixAmpersands, bool restoreNames, UrlSetFormat destinationFormat,
              const std::string& destinationLocation, ProgressBar* progressBar, TextControl* progressText);

}  // namespace tolva
