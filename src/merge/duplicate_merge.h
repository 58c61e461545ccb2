#pragma once
// What becomes of two entries a merge takes for one: the link (or folder) that stays keeps its
// name, its place and its URL's spelling, and takes in what the other knows that it does not,
// so that no date, tag or description is lost.

#include "model/url_set.h"

namespace tolva {

// Merges other into kept: the earliest ADD_DATE, the latest LAST_MODIFIED and LAST_VISIT,
// their TAGS united (kept's first, in their order), other's description added on a line of
// its own when kept's does not hold it already, and any other attribute of other's that
// kept has none of. Attributes are told apart by name in any case. For folders, other's
// marks of a browser's own folder are not taken: a folder keeps the place it was given.
// kept's attribute text is rebuilt only when something changes, so it keeps its spelling.
void MergeDuplicateInto(UrlEntry& kept, const UrlEntry& other);

}  // namespace tolva
