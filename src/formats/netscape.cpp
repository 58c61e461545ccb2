// Reader and writer of Netscape bookmark files. The reader is a line recogniser: it looks at
// the start of each line for a few fixed, case-sensitive tags and takes the rest apart by
// position, so it accepts what browsers export and ignores every line it does not know.
// The writer emits a fixed header and one line (two for a folder) per entry, with CRLF.

#include "formats/netscape.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/format.h"
#include "formats/netscape_link.h"
#include "resources/strings.h"

namespace tolva {

namespace {

using netscape::DropBack;
using netscape::DropFront;
using netscape::kPreservedLocationName;
using netscape::kPreservedNameName;

constexpr std::string_view kFolderTag = "<DT><H3";
constexpr std::string_view kLinkTag = "<DT><A ";
// Browsers close lists with "</DL><p>" or just "</DL>" (Firefox's top level, iCab everywhere).
constexpr std::string_view kListEndTag = "</DL>";
constexpr std::string_view kSeparatorTag = "<HR>";
constexpr std::string_view kTitleHeadingTag = "<DT><H1";
constexpr std::string_view kOwnTitleTag = "<H1>";
constexpr std::string_view kLinkEnd = "</A>";
// The tail of the title line this writer produces.
constexpr std::string_view kOwnTitleTail = "'s Bookmarks</H1>";
// The closing tag a folder or title heading is expected to end with ("</H3>", "</H1>").
constexpr std::size_t kHeadingEndLength = std::string_view("</H3>").size();

constexpr std::string_view kListEndLine = "</DL><p>\r\n";

bool EndsLine(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// Everything after the first ">", or all of text when there is none.
std::string_view AfterFirstCloseBracket(std::string_view text) {
    std::size_t close = text.find('>');
    return close == std::string_view::npos ? text : text.substr(close + 1);
}

// Hands out the lines of a file read whole, ending each where ReadLine would: at CR, LF, CRLF
// or a zero byte, however long the line. The file is searched once for LF, keeping the next
// one until the scan passes it (so a file of CR line ends is not searched again per line);
// CR and zero bytes are looked for only in the stretch before it.
class LineScanner {
public:
    explicit LineScanner(std::string_view text) : text_(text) {}

    bool Next(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        if (!searched_ || nextLf_ < pos_) {
            searched_ = true;
            nextLf_ = Find('\n', text_.size());
        }
        std::size_t end = Find('\0', Find('\r', nextLf_));
        line = text_.substr(pos_, end - pos_);
        pos_ = end;
        if (end < text_.size())
            pos_ += (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n') ? 2 : 1;
        return true;
    }

private:
    // The first c from the scan position up to limit, or limit.
    std::size_t Find(char c, std::size_t limit) const {
        const void* at = std::memchr(text_.data() + pos_, c, limit - pos_);
        return at ? static_cast<std::size_t>(static_cast<const char*>(at) - text_.data()) : limit;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    std::size_t nextLf_ = 0;
    bool searched_ = false;
};

// One item of the file as the writer puts it together in the pending output of a BlockWriter,
// from where it begins to just before its line end.
class ItemLine {
public:
    explicit ItemLine(BlockWriter& out) : out_(out), from_(out.Mark()) {}

    void Add(std::string_view text) { out_.Add(text); }
    // Appends an entry's text. Text borrowed from a file is part of one of its lines and holds
    // no line break; only other text can need KeepOnOneLine.
    void AddText(const EntryText& text) {
        out_.Add(text.view());
        mayBreakLine_ = mayBreakLine_ || !text.IsBorrowed();
    }
    void AddAttribute(std::string_view attributeName, const EntryText& value) {
        netscape::AddAttribute(out_.Pending(), attributeName, value);
        mayBreakLine_ = mayBreakLine_ || !value.IsBorrowed();
    }

    // The format is one item per line, so a line break (or a zero byte, which ends a line too)
    // inside a name, URL or attribute would cut the item in two and let the rest pass for a tag
    // of its own, such as "</DL><p>". Each becomes a space. Called before the item's line end.
    void KeepOnOneLine() {
        if (!mayBreakLine_) return;
        mayBreakLine_ = false;
        std::string& pending = out_.Pending();
        const std::string_view item = std::string_view(pending).substr(from_);
        constexpr auto npos = std::string_view::npos;
        if (item.find('\n') == npos && item.find('\r') == npos && item.find('\0') == npos) return;
        std::replace_if(pending.begin() + static_cast<std::ptrdiff_t>(from_), pending.end(), EndsLine, ' ');
    }

private:
    BlockWriter& out_;
    const std::size_t from_;
    bool mayBreakLine_ = false;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Reading

namespace {

// A status text with a line number in place of its "%d", counted up one line at a time
// without formatting the whole text again.
class LineCounterText {
public:
    explicit LineCounterText(const std::string& format) {
        const std::size_t at = format.find("%d");
        if (at == std::string::npos) {
            text_ = format;
            return;
        }
        text_ = format.substr(0, at) + "0" + format.substr(at + 2);
        first_ = last_ = at;
        counts_ = true;
    }

    const std::string& Advance() {
        if (!counts_) return text_;
        std::size_t digit = last_ + 1;
        while (digit > first_ && text_[digit - 1] == '9') text_[--digit] = '0';
        if (digit > first_) {
            ++text_[digit - 1];
        } else {
            text_.insert(first_, 1, '1');
            ++last_;
        }
        return text_;
    }

private:
    std::string text_;
    std::size_t first_ = 0;  // the number's first and last digit in text_
    std::size_t last_ = 0;
    bool counts_ = false;
};

}  // namespace

int ReadNetscape(UrlSet& set, TextControl* statusText) {
    std::string_view fileText;
    if (!set.TakeRest(fileText)) return 0;
    LineScanner lines(fileText);
    std::string_view line;
    std::string linkText;
    netscape::LinkScratch scratch;
    // "Reading line %d" is shown for every line, so its number is counted up in the text itself.
    LineCounterText status(LoadString(IDS_STATUS_READING_LINE));
    int result = 0;

    while (lines.Next(line)) {
        result = 1;
        if (statusText) statusText->SetText(status.Advance());

        std::string_view text = TrimLeadingWhite(line);
        // Firefox writes the item after a separator on the separator's own line
        // ("<HR>    <DT><A ..."): the separator is taken and the rest read as a line of its own.
        while (StartsWith(text, kSeparatorTag) && text.size() > kSeparatorTag.size() &&
               IsWhite(text[kSeparatorTag.size()])) {
            std::string_view rest = TrimLeadingWhite(text.substr(kSeparatorTag.size()));
            if (rest.empty() || rest.front() != '<') break;
            set.Append(new UrlEntry(UrlEntryKind::Separator, {}));
            text = rest;
        }

        if (StartsWith(text, kFolderTag)) {
            std::string_view heading = DropFront(DropBack(text, kHeadingEndLength), kFolderTag.size());
            set.Append(new UrlEntry(UrlEntryKind::FolderStart, EntryText::Borrow(AfterFirstCloseBracket(heading))));
            ++set.folderCount;
        } else if (StartsWith(text, kLinkTag)) {
            std::string_view body = text.substr(kLinkTag.size());
            std::size_t end = body.find(kLinkEnd);
            bool inFile = true;
            if (end == std::string_view::npos) {
                // A link may go on over following lines; those are joined with one space and
                // not counted. A file that ends before "</A>" ends the link with what it has.
                linkText.assign(body);
                while (end == std::string::npos && lines.Next(line)) {
                    std::size_t joinedAt = linkText.size() + 1;
                    linkText += ' ';
                    linkText += line;
                    end = linkText.find(kLinkEnd, joinedAt);
                }
                body = linkText;
                inFile = false;
            }
            set.Append(netscape::ParseLink(body.substr(0, end), inFile, scratch));
            ++set.linkCount;
        } else if (StartsWith(text, kListEndTag)) {
            set.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
        } else if (text == kSeparatorTag) {
            set.Append(new UrlEntry(UrlEntryKind::Separator, {}));
        } else if (StartsWith(text, kTitleHeadingTag)) {
            set.title.assign(
                AfterFirstCloseBracket(DropFront(DropBack(text, kHeadingEndLength), kTitleHeadingTag.size())));
        } else if (StartsWith(text, kOwnTitleTag)) {
            set.title.assign(DropFront(DropBack(text, kOwnTitleTail.size()), kOwnTitleTag.size()));
        }
    }

    set.SetCursor(nullptr);
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_NETSCAPE_LOADED));
    return result;
}

// ---------------------------------------------------------------------------------------
// Writing

int WriteNetscape(UrlSet& set) {
    BlockWriter out(set, IDS_ERR_NETSCAPE_HEADER);
    if (!out.Begin()) return 0;

    // The title goes into the header through the same filter as every other text.
    std::string oneLineTitle = set.title;
    std::replace_if(oneLineTitle.begin(), oneLineTitle.end(), EndsLine, ' ');
    out.Add(FormatString(IDS_NETSCAPE_HEADER, {oneLineTitle, oneLineTitle}));
    out.EndItem();

    out.BeginPart(IDS_ERR_NETSCAPE_LINE);
    int folderStarts = 0;
    int folderEnds = 0;
    set.Rewind();
    for (UrlEntry* entry = set.Next(); entry && !out.Failed(); entry = set.Next()) {
        set.currentFlags = entry->flags;
        switch (entry->kind) {
            case UrlEntryKind::Link: {
                ItemLine item(out);
                item.Add("<DT><A HREF=\"");
                item.AddText(entry->url);
                item.Add("\"");
                if (set.currentFlags & (NamePreserved | ChangedByVerification)) {
                    item.AddAttribute(kPreservedNameName, entry->preservedName);
                }
                // A link's origin is kept whenever it is known and lies outside "Unverified",
                // also for a link read from a file (whose flags are 0), so that a later
                // verification can still move it back to its folder.
                const bool locationWanted = (set.currentFlags & (LocationPreserved | ChangedByVerification)) != 0 ||
                                            !entry->preservedLocation.empty();
                if (locationWanted && !StartsWith(entry->preservedLocation, kUnverifiedPrefix)) {
                    item.AddAttribute(kPreservedLocationName, entry->preservedLocation);
                }
                if (!entry->extraAttributes.empty()) {
                    item.Add(" ");
                    item.AddText(entry->extraAttributes);
                }
                item.Add(">");
                item.AddText(entry->name);
                item.KeepOnOneLine();
                out.Add("</A>\r\n");
                break;
            }
            case UrlEntryKind::FolderStart: {
                ++folderStarts;
                ItemLine item(out);
                item.Add("<DT><H3>");
                item.AddText(entry->name);
                item.KeepOnOneLine();
                out.Add("</H3>\r\n<DL><p>\r\n");
                break;
            }
            case UrlEntryKind::FolderEnd:
                ++folderEnds;
                out.Add(kListEndLine);
                break;
            case UrlEntryKind::Separator:
                out.Add("<HR>\r\n");
                break;
            default:
                break;
        }
        out.EndItem();
    }

    // The header opens a list that the set's closing FolderEnd closes. Only a set without
    // one gets the footer, so the list is closed exactly once and rewriting a file that was
    // read keeps it the same.
    if (folderEnds <= folderStarts) {
        out.BeginPart(IDS_ERR_NETSCAPE_FOOTER);
        out.Add(kListEndLine);
    }
    out.Flush();
    return out.Failed() ? 0 : 1;
}

}  // namespace tolva
