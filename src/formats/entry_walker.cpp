#include "formats/entry_walker.h"

namespace tolva {

void EntryWalker::Walk(UrlSet& set) {
    depth_ = 0;
    topLevelEnds_ = 0;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry != nullptr && !Stopped(); entry = set.Next()) {
        set.currentFlags = entry->flags;
        switch (entry->kind) {
            case UrlEntryKind::Link:
                VisitLink(*entry);
                break;
            case UrlEntryKind::Separator:
                VisitSeparator(*entry);
                break;
            case UrlEntryKind::FolderStart:
                ++depth_;
                EnterFolder(*entry);
                break;
            case UrlEntryKind::FolderEnd:
                if (depth_ > 0) {
                    --depth_;
                    LeaveFolder(*entry);
                } else {
                    ++topLevelEnds_;
                    EndTopLevel(*entry);
                }
                break;
            default:
                break;
        }
    }
}

}  // namespace tolva
