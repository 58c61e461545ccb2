#include "translate/convert.h"

#include "resources/strings.h"
#include "translate/entry_conversion.h"

namespace tolva {

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
    std::string candidate;
    int renamed = 0;
    // A bookmark file's HTML text becomes plain UTF-8 before the names are adapted, so the
    // rules (and the former names they keep) see the text a person reads; plain text becomes
    // HTML once they are done.
    const bool toHtml = destinationFormat == UrlSetFormat::Netscape;
    const std::string charset = set.charset;
    set.title = ConvertedText(set.format, destinationFormat, charset, set.title);
    set.heading = ConvertedText(set.format, destinationFormat, charset, set.heading);
    // A bookmark file written from another format says that its text is UTF-8.
    set.charset = toHtml ? "UTF-8" : "";
    for (UrlEntry* entry = set.Next(); entry != nullptr; entry = set.Next()) {
        if (!toHtml) ConvertEntryText(set.format, destinationFormat, charset, *entry);
        if (entry->kind == UrlEntryKind::Link) {
            ++counter;
            if (progressBar) {
                progressBar->SetPos(counter);
                if (progressText) progressText->SetText(FormatText(progressFormat, {counter, set.linkCount}));
            }
        }
        // Every entry of one call follows the rule of the same pair: the format changes last.
        const bool hasRule = (restoreNames && RestoredName(set.format, destinationFormat, *entry, candidate)) ||
                             RenamingRuleCandidate(set.format, destinationFormat, *entry, fixAmpersands, candidate);
        if (hasRule && candidate != entry->name) {
            entry->Rename(candidate, NameTranslated);
            ++renamed;
        } else if (destinationFormat == UrlSetFormat::Shortcuts && set.format != UrlSetFormat::Shortcuts &&
                   entry->name.view().find('&') != std::string_view::npos && entry->preservedName.empty() &&
                   (entry->flags & NamePreserved) == 0) {
            // The way back doubles ampersands; the name it had is kept so that it comes back as it is.
            entry->preservedName = entry->name;
        }
        if (toHtml) ConvertEntryText(set.format, destinationFormat, charset, *entry);
    }
    set.format = destinationFormat;
    return renamed;
}

}  // namespace tolva
