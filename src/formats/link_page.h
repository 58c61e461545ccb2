#pragma once
// A plain page of links: HTML with no bookmark structure whose links stand in lists or
// paragraphs, as read-it-later services export them. The reader of the format, the codec of
// the link page row of formats/format_table.cpp; it is read only, since writing one back
// would throw away the page around its links.

#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// Appends every <a href> link of the set's open file after its cursor, as one flat list: its
// name without the markup inside it, its date (time_added or ADD_DATE) and its tags kept as a
// bookmark file spells them. Returns 0 when the file cannot be read.
int ReadLinkPage(SetStorage& storage, TextControl* statusText);

}  // namespace tolva
