#include "formats/format_table.h"

#include <algorithm>

#include "formats/chromium.h"
#include "formats/compressed_backup.h"
#include "formats/firefox.h"
#include "formats/firefox_backup.h"
#include "formats/link_page.h"
#include "formats/mosaic.h"
#include "formats/netscape.h"
#include "formats/shortcuts.h"
#include "formats/xbel.h"
#include "platform/ascii.h"
#include "resources/strings.h"

namespace tolva {

namespace {

bool StartsIgnoringAsciiCase(std::string_view text, std::string_view start) {
    return text.size() >= start.size() && EqualsIgnoringAsciiCase(text.substr(0, start.size()), start);
}

bool Holds(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool HoldsIgnoringCase(std::string_view text, std::string_view part) {
    for (std::size_t at = 0; at + part.size() <= text.size(); ++at) {
        if (EqualsIgnoringAsciiCase(text.substr(at, part.size()), part)) return true;
    }
    return false;
}

Likeness MosaicLikeness(std::string_view bytes) {
    const std::string_view body = TextStart(bytes);
    return body.starts_with("ncsa-xmosaic-hotlist") || body.starts_with("Hotlist") ? Likeness::Signature
                                                                                   : Likeness::None;
}

Likeness NetscapeLikeness(std::string_view bytes) {
    const std::string_view body = TextStart(bytes);
    if (StartsIgnoringAsciiCase(body, "<!doctype netscape-bookmark-file")) return Likeness::Signature;
    return Holds(body, "<DT><A ") || Holds(body, "<DT><H3") ? Likeness::Inside : Likeness::None;
}

Likeness XbelLikeness(std::string_view bytes) {
    const std::string_view body = TextStart(bytes);
    if (!Holds(body, "<xbel")) return Likeness::None;
    return body.starts_with("<?xml") || body.starts_with("<xbel") || StartsIgnoringAsciiCase(body, "<!doctype xbel")
               ? Likeness::Signature
               : Likeness::Inside;
}

Likeness ChromiumLikeness(std::string_view bytes) {
    const std::string_view body = TextStart(bytes);
    return body.starts_with("{") && Holds(body, "\"roots\"") ? Likeness::Signature : Likeness::None;
}

Likeness FirefoxLikeness(std::string_view bytes) {
    return bytes.starts_with(std::string_view("SQLite format 3\0", 16)) ? Likeness::Signature : Likeness::None;
}

// A backup compressed, or its JSON, whose places root or node types show at its start.
Likeness FirefoxBackupLikeness(std::string_view bytes) {
    if (IsCompressedBackup(bytes)) return Likeness::Signature;
    const std::string_view body = TextStart(bytes);
    return body.starts_with("{") && (Holds(body, "\"root________\"") || Holds(body, "\"text/x-moz-place"))
               ? Likeness::Signature
               : Likeness::None;
}

// A page of links: HTML with links but nothing of a bookmark file (its document type, its
// <DT> items), so that a read-it-later export saved as .html is not read as an empty
// bookmark file.
Likeness LinkPageLikeness(std::string_view bytes) {
    const std::string_view body = TextStart(bytes);
    if (HoldsIgnoringCase(body, "netscape-bookmark-file") || HoldsIgnoringCase(body, "<dt")) return Likeness::None;
    return HoldsIgnoringCase(body, "<a ") ? Likeness::Signature : Likeness::None;
}

constexpr std::string_view kHotlistExtensions[] = {"hot"};
constexpr std::string_view kHtmlExtensions[] = {"html", "htm"};
constexpr std::string_view kXbelExtensions[] = {"xbel"};
constexpr std::string_view kFirefoxBackupExtensions[] = {"json", "jsonlz4"};

// In the order of UrlSetFormat's numbers, which the format boxes and the stored recent
// locations use.
const FormatTableRow kRows[] = {
    {.format = UrlSetFormat::Mosaic,
     .codec = {UrlSetFormat::Mosaic, FormatStorage::File, ReadMosaic, WriteMosaic, FormatWriting::Anywhere, nullptr,
               true},
     .name = "mosaic",
     .boxText = IDS_UI_FORMAT_MOSAIC,
     .filterText = IDS_UI_FILTER_HOTLIST,
     .defaultExtension = "hot",
     .extensions = kHotlistExtensions,
     .likeness = MosaicLikeness,
     .naming = FormatNaming::AmpersandText},
    {.format = UrlSetFormat::Netscape,
     .codec = {UrlSetFormat::Netscape, FormatStorage::File, ReadNetscape, WriteNetscape, FormatWriting::Anywhere,
               StreamNetscape, true},
     .name = "netscape",
     .boxText = IDS_UI_FORMAT_NETSCAPE,
     .filterText = IDS_UI_FILTER_HTML,
     .defaultExtension = "htm",
     .extensions = kHtmlExtensions,
     .likeness = NetscapeLikeness,
     .htmlText = true,
     .naming = FormatNaming::AmpersandText},
    {.format = UrlSetFormat::Shortcuts,
     .codec = {UrlSetFormat::Shortcuts, FormatStorage::Folder, ReadShortcuts, WriteShortcuts},
     .name = "shortcuts",
     .boxText = IDS_UI_FORMAT_SHORTCUTS,
     .naming = FormatNaming::FileNames},
    {.format = UrlSetFormat::Xbel,
     .codec = {UrlSetFormat::Xbel, FormatStorage::File, ReadXbel, WriteXbel, FormatWriting::Anywhere, nullptr, true},
     .name = "xbel",
     .boxText = IDS_UI_FORMAT_XBEL,
     .filterText = IDS_UI_FILTER_XBEL,
     .defaultExtension = "xbel",
     .extensions = kXbelExtensions,
     .likeness = XbelLikeness},
    // Chromium's file has no extension; only one that holds JSON is taken for its store.
    {.format = UrlSetFormat::Chromium,
     .codec = {UrlSetFormat::Chromium, FormatStorage::File, ReadChromium, WriteChromium, FormatWriting::NewFileOnly,
               nullptr, false, ChromiumMissingMessage},
     .name = "chromium",
     .boxText = IDS_UI_FORMAT_CHROMIUM,
     .filterText = IDS_UI_FILTER_CHROMIUM,
     .fileName = "Bookmarks",
     .fileNameStarts = "{",
     .likeness = ChromiumLikeness},
    {.format = UrlSetFormat::Firefox,
     .codec = {UrlSetFormat::Firefox, FormatStorage::File, ReadFirefox, nullptr, FormatWriting::Never, StreamFirefox},
     .name = "firefox",
     .boxText = IDS_UI_FORMAT_FIREFOX,
     .filterText = IDS_UI_FILTER_FIREFOX,
     .fileName = "places.sqlite",
     .likeness = FirefoxLikeness},
    {.format = UrlSetFormat::FirefoxBackup,
     .codec = {UrlSetFormat::FirefoxBackup, FormatStorage::File, ReadFirefoxBackup, WriteFirefoxBackup,
               FormatWriting::Anywhere, nullptr, true},
     .name = "firefox-backup",
     .boxText = IDS_UI_FORMAT_FIREFOX_BACKUP,
     .filterText = IDS_UI_FILTER_FIREFOX_BACKUP,
     .defaultExtension = "json",
     .extensions = kFirefoxBackupExtensions,
     .likeness = FirefoxBackupLikeness},
    // Read only; its files are named as bookmark files are, so its first bytes tell it apart.
    {.format = UrlSetFormat::LinkPage,
     .codec = {UrlSetFormat::LinkPage, FormatStorage::File, ReadLinkPage, nullptr, FormatWriting::Never},
     .name = "link-page",
     .boxText = IDS_UI_FORMAT_LINK_PAGE,
     .filterText = IDS_UI_FILTER_HTML,
     .likeness = LinkPageLikeness,
     .htmlText = true,
     .naming = FormatNaming::AmpersandText},
};

}  // namespace

std::string_view TextStart(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    while (!bytes.empty() && (bytes.front() == ' ' || (bytes.front() >= '\t' && bytes.front() <= '\r')))
        bytes.remove_prefix(1);
    return bytes;
}

std::span<const FormatTableRow> FormatTable() { return kRows; }

const FormatTableRow* FormatRowOf(UrlSetFormat format) {
    const auto* row = std::find_if(std::begin(kRows), std::end(kRows),
                                   [format](const FormatTableRow& each) { return each.format == format; });
    return row == std::end(kRows) ? nullptr : row;
}

UrlSetFormat FormatNamed(std::string_view name) {
    for (const FormatTableRow& row : kRows) {
        if (row.name == name) return row.format;
    }
    return UrlSetFormat::None;
}

std::string FormatName(UrlSetFormat format) {
    const FormatTableRow* row = FormatRowOf(format);
    return row ? std::string(row->name) : std::string();
}

std::string FormatNameList() {
    std::string list;
    for (const FormatTableRow& row : kRows) {
        if (!list.empty()) list += ", ";
        list += row.name;
        if (!FormatCan(row.format, FormatAbility::Write)) {
            list += " (read only)";
        } else if (!FormatCan(row.format, FormatAbility::WriteBack)) {
            list += " (written to a new file only: a running browser rewrites its own file)";
        }
    }
    return list;
}

const FormatCodec* CodecFor(UrlSetFormat format) {
    const FormatTableRow* row = FormatRowOf(format);
    return row ? &row->codec : nullptr;
}

// What a set can be used for is what its codec can do; verifying saves the set where it is.
bool FormatCan(UrlSetFormat format, FormatAbility ability) {
    const FormatCodec* codec = CodecFor(format);
    if (codec == nullptr) return false;
    switch (ability) {
        case FormatAbility::Read:
            return codec->read != nullptr;
        case FormatAbility::Write:
            return codec->write != nullptr && codec->writing != FormatWriting::Never;
        case FormatAbility::WriteBack:
        case FormatAbility::VerifyInPlace:
            return codec->read != nullptr && codec->write != nullptr && codec->writing == FormatWriting::Anywhere;
    }
    return false;
}

bool FormatHoldsHtml(UrlSetFormat format) {
    const FormatTableRow* row = FormatRowOf(format);
    return row != nullptr && row->htmlText;
}

FormatNaming FormatNamingOf(UrlSetFormat format) {
    const FormatTableRow* row = FormatRowOf(format);
    return row ? row->naming : FormatNaming::PlainText;
}

}  // namespace tolva
