#include "translate/convert.h"

#include "resources/strings.h"
#include "translate/entry_conversion.h"

namespace tolva {

int ConvertTo(UrlSet& set, bool fixAmpersands, UrlSetFormat destinationFormat, const std::string& destinationLocation,
              ProgressBar* progressBar, TextControl* progressText) {
    // The location moves even when nothing else changes.
    set.location = destinationLocation;
    if (destinationFormat == set.format) return 0;

    set.Rewind();
    int counter = 0;
    if (progressBar) {
        // The whole count: a set of more than 65535 links still fills the bar exactly once.
        progressBar->SetRange(0, set.linkCount);
        progressBar->SetPos(0);
    }
    const std::string progressFormat = LoadString(IDS_CONVERTING_LINK);
    std::string candidate;
    int renamed = 0;
    for (UrlEntry* entry = set.Next(); entry != nullptr; entry = set.Next()) {
        if (entry->kind == UrlEntryKind::Link) {
            ++counter;
            if (progressBar) {
                progressBar->SetPos(counter);
                if (progressText) progressText->SetText(FormatText(progressFormat, {counter, set.linkCount}));
            }
        }
        // Every entry of one call follows the rule of the same pair: the format changes last.
        if (RenamingRuleCandidate(set.format, destinationFormat, *entry, fixAmpersands, candidate) &&
            candidate != entry->name) {
            entry->Rename(candidate, NameTranslated);
            ++renamed;
        }
    }
    set.format = destinationFormat;
    return renamed;
}

}  // namespace tolva
