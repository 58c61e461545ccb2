#pragma once
// The format table: one row per format saying everything about it: how its sets are read,
// written and kept (its codec, formats/format_codec.h), its name on the command line, its
// text in the format boxes, its file names and extensions, how its first bytes look, whether
// its text is HTML, how it names entries, and what can be done with it. Nothing outside
// formats/ spells a format's name or extension: a new format is a unit, a row here and its
// texts in the string table.

#include <span>
#include <string>
#include <string_view>

#include "formats/format_codec.h"
#include "model/set_kinds.h"

namespace tolva {

// How a format holds its entries' names, which decides what a translation does to them.
enum class FormatNaming {
    // Lines of a text file, whose names keep ampersands as the shortcut folders' menus show
    // them doubled: a translation to or from shortcut files collapses or doubles them.
    AmpersandText,
    // Plain text with no ampersand convention (XBEL, the browsers' stores).
    PlainText,
    // Names of files and folders: names coming in are made safe for the file system.
    FileNames,
};

// How much a file's first bytes say that it holds a format.
enum class Likeness {
    None,
    // A mark of the format somewhere in the bytes (a tag a file of it holds).
    Inside,
    // The format's own signature at the start (a header, a document type).
    Signature,
};

// What can be done with a format's sets.
enum class FormatAbility {
    Read,
    // Written as a new file or folder.
    Write,
    // Written back over the file or folder it was read from.
    WriteBack,
    // Verified and saved where it is, which writes it back.
    VerifyInPlace,
};

struct FormatTableRow {
    UrlSetFormat format = UrlSetFormat::None;
    // How its sets are read and written, and where they are kept (a file or a folder).
    FormatCodec codec{};
    // Its name on the command line.
    std::string_view name{};
    // String-table id of its entry in the format boxes.
    int boxText = 0;
    // String-table id of its file choosers' filter; 0 for a format kept in a folder.
    int filterText = 0;
    // Added by a chooser to a new file's name typed without one; empty when its owner names
    // its file (a browser's store).
    std::string_view defaultExtension{};
    // Extensions (lower case, no dot) that say a file holds the format.
    std::span<const std::string_view> extensions{};
    // The name its owner gives its file, which says the format when the file's first bytes
    // begin as fileNameStarts does (empty: any, or no first bytes to look at).
    std::string_view fileName{};
    std::string_view fileNameStarts{};
    // How much a file's first bytes, as they are read, say it holds the format; null for a
    // folder format.
    Likeness (*likeness)(std::string_view bytes) = nullptr;
    // Its names, URLs and descriptions are HTML text in the encoding its file declares.
    bool htmlText = false;
    FormatNaming naming = FormatNaming::PlainText;
};

// Every row, in the order of the format boxes (the order of UrlSetFormat's numbers).
std::span<const FormatTableRow> FormatTable();
// The row of format, or null for a format that has none (None, a number out of range).
const FormatTableRow* FormatRowOf(UrlSetFormat format);
// The format the command line names name; None for any other name.
UrlSetFormat FormatNamed(std::string_view name);
// The command-line name of format ("xbel"); empty for a format that has none.
std::string FormatName(UrlSetFormat format);
// The command-line names as help and usage errors list them, each with what it cannot do.
std::string FormatNameList();

// The text of a file's first bytes after a byte order mark and leading white space, where
// the text formats' signatures are looked for.
std::string_view TextStart(std::string_view bytes);

// Whether format's sets can be used so. False for a format that has no row.
bool FormatCan(UrlSetFormat format, FormatAbility ability);
// Whether a set of format is HTML text, and how it names entries; a format that has no row
// is taken for plain text.
bool FormatHoldsHtml(UrlSetFormat format);
FormatNaming FormatNamingOf(UrlSetFormat format);

}  // namespace tolva
