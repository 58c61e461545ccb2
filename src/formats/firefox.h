#pragma once
// Firefox's bookmark store (places.sqlite): the reader of the format, the codec of the
// Firefox row of formats/format_table.cpp. The store is read only, and so that a running Firefox
// is neither blocked nor disturbed it is never opened as a database: its file and its
// write-ahead log (-wal) are copied into a private folder with plain reads, which take no
// lock, and the copy is read. Opening the store itself "immutable" would take no lock either,
// but it ignores the log, where a running Firefox keeps its latest changes.

#include <memory>

#include "formats/format_codec.h"
#include "model/url_set.h"
#include "platform/person.h"

namespace tolva {

class SetStorage;

// Appends the menu, toolbar, other and mobile roots as top-level folders with their folders,
// bookmarks and separators after the set's cursor. Tags and keywords are kept as the
// attributes TAGS and SHORTCUTURL, dates as ADD_DATE and LAST_MODIFIED. A store that cannot
// be read is reported with SQLite's reason and gives 0.
int ReadFirefox(SetStorage& storage, TextControl* statusText);

// The same entries a batch at a time: the store is copied and opened here, and each folder's
// children are read from the copy as the walk reaches them, so no more of the store is held
// than the folders being walked. Null, after the message, for a store that cannot be read.
std::unique_ptr<SetStream> StreamFirefox(SetStorage& storage, TextControl* statusText);

}  // namespace tolva
