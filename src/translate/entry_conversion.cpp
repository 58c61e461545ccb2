#include "translate/entry_conversion.h"

#include <optional>
#include <string>
#include <string_view>

#include "formats/format_table.h"
#include "formats/html_text.h"
#include "formats/shortcuts.h"
#include "formats/store_fields.h"
#include "platform/charset.h"

namespace tolva {

namespace {

// Characters Windows refuses in a file name: \ ? : * " < > | /
constexpr std::string_view kUnsafeFileNameCharacters = "\\?:*\"<>|/";

// A description may hold markup (a link, bold text, line breaks) that its plain text shows as
// characters: written back as HTML, it would come out escaped. What plain text cannot give back
// is kept as it was, in UTF-8, among the kept attributes.
constexpr std::string_view kHtmlDescription = "DESCRIPTION_HTML";

void KeepHtmlDescription(std::string_view charset, UrlEntry& entry) {
    if (entry.description.empty()) return;
    const std::string html = ToUtf8(entry.description, charset);
    if (HtmlFromPlain(PlainFromHtml(html, "UTF-8")) == html) return;
    std::string attributes = store::WithoutKeptAttribute(entry.extraAttributes, kHtmlDescription);
    store::AddKeptAttribute(attributes, kHtmlDescription, html);
    entry.extraAttributes = attributes;
}

// The kept HTML comes back while the plain text is still the one it gave; a description changed
// since is taken as it now reads.
bool TakeBackHtmlDescription(UrlEntry& entry) {
    if (entry.extraAttributes.view().find(kHtmlDescription) == std::string_view::npos) return false;
    const std::optional<std::string> html = store::FindKeptAttribute(entry.extraAttributes, kHtmlDescription);
    entry.extraAttributes = store::WithoutKeptAttribute(entry.extraAttributes, kHtmlDescription);
    if (!html || PlainFromHtml(*html, "UTF-8") != entry.description.view()) return false;
    entry.description = *html;
    return true;
}

}  // namespace

std::string TranslateAmpersands(const std::string& name, AmpersandDirection direction) {
    std::string out;
    out.reserve(name.size() * (direction == AmpersandDirection::Double ? 2 : 1));
    for (std::size_t i = 0; i < name.size(); ++i) {
        char c = name[i];
        if (c == '&' && direction == AmpersandDirection::Double) {
            out += "&&";
        } else if (c == '&' && direction == AmpersandDirection::Collapse) {
            out += '&';
            while (i + 1 < name.size() && name[i + 1] == '&') ++i;
        } else {
            out += c;
        }
    }
    return out;
}

std::string MakeFileNameSafe(const std::string& name, UrlEntryKind kind) {
    std::string safe = name;
    for (char& c : safe) {
        if (kUnsafeFileNameCharacters.find(c) != std::string_view::npos) c = '-';
    }
    if (kind == UrlEntryKind::FolderStart) {
        while (!safe.empty() && safe.back() == '.') safe.pop_back();
        if (!safe.empty() && safe.front() == '.') safe.front() = '-';
    }
    return safe;
}

bool RenamingRuleCandidate(UrlSetFormat fromFormat, UrlSetFormat toFormat, const UrlEntry& entry, bool fixAmpersands,
                           std::string& candidate) {
    candidate = entry.name;
    const FormatNaming from = FormatNamingOf(fromFormat);
    const FormatNaming to = FormatNamingOf(toFormat);
    if (to == FormatNaming::FileNames && from != FormatNaming::FileNames) {
        // Plain names have no ampersand convention: going into shortcut files they only become
        // safe file names.
        if (from == FormatNaming::AmpersandText && fixAmpersands)
            candidate = TranslateAmpersands(candidate, AmpersandDirection::Collapse);
        candidate = MakeFileNameSafe(candidate, entry.kind);
        return true;
    }
    if (from == FormatNaming::FileNames && to == FormatNaming::AmpersandText) {
        if (fixAmpersands) candidate = TranslateAmpersands(candidate, AmpersandDirection::Double);
        return true;
    }
    return false;
}

std::string ConvertedText(UrlSetFormat fromFormat, UrlSetFormat toFormat, std::string_view charset,
                          std::string_view text) {
    const bool fromHtml = FormatHoldsHtml(fromFormat);
    const bool toHtml = FormatHoldsHtml(toFormat);
    if (fromHtml == toHtml) return std::string(text);
    return fromHtml ? PlainFromHtml(text, charset) : HtmlFromPlain(text);
}

void ConvertEntryText(UrlSetFormat fromFormat, UrlSetFormat toFormat, std::string_view charset, UrlEntry& entry) {
    const bool toHtml = FormatHoldsHtml(toFormat);
    if (FormatHoldsHtml(fromFormat) == toHtml) return;
    // A description taken back as it was is HTML already.
    const bool takenBack = toHtml && TakeBackHtmlDescription(entry);
    if (!toHtml) KeepHtmlDescription(charset, entry);
    for (EntryText* text :
         {&entry.name, &entry.url, &entry.preservedName, &entry.preservedLocation, &entry.description}) {
        // Escaping leaves most texts as they are: those keep their bytes without a copy.
        if (text->empty() || (toHtml && !NeedsHtmlEscaping(*text)) || (takenBack && text == &entry.description))
            continue;
        *text = ConvertedText(fromFormat, toFormat, charset, *text);
    }
}

bool RestoredName(UrlSetFormat fromFormat, UrlSetFormat toFormat, const UrlEntry& entry, std::string& name) {
    if (FormatNamingOf(fromFormat) != FormatNaming::FileNames || FormatNamingOf(toFormat) == FormatNaming::FileNames)
        return false;
    std::string former;
    if (!FormerShortcutName(entry, former)) return false;
    // The earlier translation collapsed ampersands or did not, as its option said.
    for (const std::string& given : {TranslateAmpersands(former, AmpersandDirection::Collapse), former}) {
        if (WriterWouldName(entry, MakeFileNameSafe(given, entry.kind))) {
            name = former;
            return true;
        }
    }
    return false;
}

}  // namespace tolva
