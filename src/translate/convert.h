#pragma once
// Retargeting a read set to the destination of a translation.

#include <cstdint>
#include <string>

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

// Renames entries of a set in one format by the rules of the pair with destinationFormat
// (translate/entry_conversion.h) and turns their text into the destination's kind (HTML or
// plain); with restoreNames, entries of a shortcut tree get back the names they had before
// they were adapted to file names. Made for a set that is then written in the destination
// format, it converts the set's own title, heading and encoding at once; the entries follow
// one by one, in their order, as the set has them or as they arrive.
class EntryConverter {
public:
    EntryConverter(UrlSet& set, bool fixAmpersands, bool restoreNames, UrlSetFormat destinationFormat);
    void Convert(UrlEntry& entry);
    // How many entries Convert renamed.
    int Renamed() const { return renamed_; }

private:
    UrlSetFormat from_;
    UrlSetFormat to_;
    std::string charset_;  // the source's, as it declared it
    bool fixAmpersands_;
    bool restoreNames_;
    int renamed_ = 0;
    std::string candidate_;
};

// Moves set to destinationLocation and, for another format, to destinationFormat, converting
// every entry as EntryConverter does. The progress bar and text, when given, count the links.
// Returns how many entries were renamed.
int ConvertTo(UrlSet& set, bool fixAmpersands, bool restoreNames, UrlSetFormat destinationFormat,
              const std::string& destinationLocation, ProgressBar* progressBar, TextControl* progressText);

}  // namespace tolva
