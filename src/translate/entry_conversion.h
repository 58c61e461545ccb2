#pragma once
// The renaming rules between formats: names adapted when a set goes to or comes from a
// folder of shortcut files (ampersands and file-name-safe names).

#include <cstdint>
#include <string>
#include <string_view>

#include "model/url_set.h"

namespace tolva {

enum class AmpersandDirection {
    Double,    // names that come from a shortcut set
    Collapse,  // names that are to enter a shortcut set
};

// Doubling writes every "&" as "&&"; collapsing turns every run of ampersands into one.
std::string TranslateAmpersands(const std::string& name, AmpersandDirection direction);

// Replaces the characters a Windows file name cannot hold by "-", one for one. A folder
// name also loses its trailing dots (Windows drops them) and a leading dot becomes "-",
// because folders whose names begin with a dot are hidden and are not read back.
std::string MakeFileNameSafe(const std::string& name, UrlEntryKind kind);

// The candidate name of entry under the rule of the format pair from -> to. Returns false
// when the pair has no rule (the name stays as it is).
bool RenamingRuleCandidate(UrlSetFormat fromFormat, UrlSetFormat toFormat, const UrlEntry& entry, bool fixAmpersands,
                           std::string& candidate);

// Netscape text is HTML in the encoding its file declared; the other formats hold plain UTF-8.
// Between the two, an entry's name, URL, preserved name and location and description are
// decoded (charset being the encoding the text is in) or escaped. Text that stays in its
// format, and what only a bookmark file keeps (its attributes), is left alone.
void ConvertEntryText(UrlSetFormat fromFormat, UrlSetFormat toFormat, std::string_view charset, UrlEntry& entry);
// The same for a text of the set itself, such as its title.
std::string ConvertedText(UrlSetFormat fromFormat, UrlSetFormat toFormat, std::string_view charset,
                          std::string_view text);

// The name a translation from shortcut files gives back to entry: the one it had before a
// translation into shortcut files adapted it, as long as its file or folder still bears the
// name that adaptation made (an entry the person renamed since keeps its new name). False when
// the pair does not come from shortcut files, no former name was kept, or it no longer applies.
bool RestoredName(UrlSetFormat fromFormat, UrlSetFormat toFormat, const UrlEntry& entry, std::string& name);

}  // namespace tolva
