#include "translate/convert.h"

#include "formats/format_table.h"
#include "resources/strings.h"
#include "translate/entry_conversion.h"

namespace tolva {

EntryConverter::EntryConverter(UrlSet& set, bool fixAmpersands, bool restoreNames, UrlSetFormat destinationFormat)
    : from_(set.format),
      to_(destinationFormat),
      charset_(set.charset),
      fixAmpersands_(fixAmpersands),
      restoreNames_(restoreNames) {
    set.title = ConvertedText(from_, to_, charset_, set.title);
    set.heading = ConvertedText(from_, to_, charset_, set.heading);
    set.documentTitle = ConvertedText(from_, to_, charset_, set.documentTitle);
    // A bookmark file written from another format says that its text is UTF-8.
    set.charset = FormatHoldsHtml(to_) ? "UTF-8" : "";
}

void EntryConverter::Convert(UrlEntry& entry) {
    // A bookmark file's HTML text becomes plain UTF-8 before the names are adapted, so the
    // rules (and the former names they keep) see the text a person reads; plain text becomes
    // HTML once they are done.
    const bool toHtml = FormatHoldsHtml(to_);
    if (!toHtml) ConvertEntryText(from_, to_, charset_, entry);
    // Every entry of one set follows the rule of the same pair: the format changes last.
    const bool hasRule = (restoreNames_ && RestoredName(from_, to_, entry, candidate_)) ||
                         RenamingRuleCandidate(from_, to_, entry, fixAmpersands_, candidate_);
    if (hasRule && candidate_ != entry.name) {
        entry.Rename(candidate_, NameTranslated);
        ++renamed_;
    } else if (FormatNamingOf(to_) == FormatNaming::FileNames && FormatNamingOf(from_) != FormatNaming::FileNames &&
               entry.name.view().find('&') != std::string_view::npos && entry.preservedName.empty() &&
               (entry.flags & NamePreserved) == 0) {
        // The way back doubles ampersands; the name it had is kept so that it comes back as it is.
        entry.preservedName = entry.name;
    }
    if (toHtml) ConvertEntryText(from_, to_, charset_, entry);
}

int ConvertTo(UrlSet& set, bool fixAmpersands, bool restoreNames, UrlSetFormat destinationFormat,
              const std::string& destinationLocation, ProgressBar* progressBar, TextControl* progressText) {
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
    EntryConverter converter(set, fixAmpersands, restoreNames, destinationFormat);
    for (UrlEntry* entry = set.Next(); entry != nullptr; entry = set.Next()) {
        if (entry->kind == UrlEntryKind::Link) {
            ++counter;
            if (progressBar) {
                progressBar->SetPos(counter);
                if (progressText) progressText->SetText(FormatText(progressFormat, {counter, set.linkCount}));
            }
        }
        converter.Convert(*entry);
    }
    set.format = destinationFormat;
    return converter.Renamed();
}

}  // namespace tolva
