#pragma once
// A URL set as comparable lines, one per entry in walking order, for whole-set comparisons.

#include <string>
#include <vector>

#include "model/url_set.h"

namespace tolva::testing {

// The kind's letter (F folder, E folder end, L link, S separator) and the folder path; for a
// link also its name, URL, kept attributes, preserved name and preserved location:
// "L \Work | Name | http://u/ | ADD_DATE="1" |  | ".
std::string OutlineLine(const UrlEntry& entry, const std::string& path);
std::vector<std::string> Outline(UrlSet& set);

// The kind's number, name and URL, then " name=" and " loc=" with the preserved name and
// location where they are set: "3 Home http://h/ loc=\Work".
std::vector<std::string> BriefOutline(UrlSet& set);

}  // namespace tolva::testing
