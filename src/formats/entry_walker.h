#pragma once
// One walk over a set's entries for the writers, as KBookmarks' group traverser: a writer says
// what it does with a link, a separator, a folder entered and a folder left, and the walker
// goes through the set once, in order, keeping the folder depth.
//
// The walk goes through UrlSet::Next, so a set still being read while it is written (a stream,
// UrlSet::Stream) is walked the same way: each entry is valid only during its visit.

#include "model/url_set.h"

namespace tolva {

class EntryWalker {
public:
    virtual ~EntryWalker() = default;

    // Visits the set's entries from its start, until the last or until Stopped.
    void Walk(UrlSet& set);

protected:
    EntryWalker() = default;
    EntryWalker(const EntryWalker&) = delete;
    EntryWalker& operator=(const EntryWalker&) = delete;

    virtual void VisitLink(UrlEntry& /*link*/) {}
    virtual void VisitSeparator(UrlEntry& /*separator*/) {}
    // Depth() counts the folder entered already.
    virtual void EnterFolder(UrlEntry& /*start*/) {}
    // end closes the folder entered last; Depth() no longer counts it.
    virtual void LeaveFolder(UrlEntry& /*end*/) {}
    // A FolderEnd with no folder open: the set's closing one (or a stray one after it).
    virtual void EndTopLevel(UrlEntry& /*end*/) {}
    // Whether the walk ends before the next entry (a failed write).
    virtual bool Stopped() const { return false; }

    // The folders open around the entry being visited (after the walk: those left open).
    int Depth() const { return depth_; }
    // The FolderEnds met with no folder open so far.
    int TopLevelEnds() const { return topLevelEnds_; }

private:
    int depth_ = 0;
    int topLevelEnds_ = 0;
};

}  // namespace tolva
