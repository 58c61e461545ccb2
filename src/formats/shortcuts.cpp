#include "model/url_set.h"

namespace tolva {

// Not built yet: reading and writing this format fails as an unknown format does.
int UrlSet::ReadShortcuts(TextControl* statusText) {
    (void)statusText;
    return 0;
}

int UrlSet::WriteShortcuts() { return 0; }

}  // namespace tolva
