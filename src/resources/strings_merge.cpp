#include "resources/strings.h"

namespace tolva {

namespace {

constexpr StringEntry kMergeStrings[] = {
    {IDS_MERGE_NO_SOURCES, "You have not chosen a URL set to merge.  Add at least one set, then proceed."},
    {IDS_MERGE_SOURCE_FORMAT_UNKNOWN, "Tolva cannot tell the format of %s.  Choose its format, then proceed."},
    {IDS_MERGE_UNABLE_TO_OPEN_SOURCE, "Merge was unable to open the URL set %s.  Nothing was written."},
    {IDS_MERGE_UNABLE_TO_READ_SOURCE, "Merge was unable to read the URL set %s.  Nothing was written."},
    {IDS_MERGE_UNABLE_TO_OPEN_DESTINATION, "Merge was unable to open the destination URL set."},
    {IDS_MERGE_UNABLE_TO_SAVE_DESTINATION, "Merge was unable to save the destination URL set."},
    {IDS_MERGE_NOW_READING, "Now reading URL set %d of %d."},
    {IDS_MERGE_NOW_MERGING, "Now merging URL set %d of %d."},
    {IDS_MERGE_ONE_SET, "1 set merged"},
    {IDS_MERGE_SETS, "%s sets merged"},
    {IDS_MERGE_COUNTS_KEEP, "%s: %s links in %s folders; %s duplicates merged, %s kept in other folders"},
    {IDS_MERGE_COUNTS_FIRST, "%s: %s links in %s folders; %s duplicates merged, %s left out of other folders"},
    {IDS_MERGE_CANCELED, "Merge canceled.  Nothing was changed."},
    {IDS_MERGE_STOPPED, "Merge stopped.  Nothing was changed."},
    {IDS_MERGE_STOPPED_PART,
     "Merge stopped.  The destination folder holds what was written before the stop; every file in it is whole."},
};

}  // namespace

std::span<const StringEntry> MergeStrings() { return kMergeStrings; }

}  // namespace tolva
