// Writer of Netscape bookmark files: a fixed header and one line (two for a folder, one more
// for a description) per entry, with CRLF.

#include <algorithm>
#include <string>
#include <string_view>

#include "formats/entry_walker.h"
#include "formats/format.h"
#include "formats/html_text.h"
#include "formats/netscape.h"
#include "formats/netscape_link.h"
#include "platform/ascii.h"
#include "platform/registered_owner.h"
#include "resources/strings.h"

namespace tolva {

namespace {

using netscape::kPreservedLocationName;
using netscape::kPreservedNameName;

// The end of the heading this writer makes of an owner's name.
constexpr std::string_view kOwnTitleTail = "'s Bookmarks";

constexpr std::string_view kListEndLine = "</DL><p>\r\n";

bool EndsLine(char c) { return c == '\r' || c == '\n' || c == '\0'; }

// One item of the file as the writer puts it together in the pending output of a BlockWriter,
// from where it begins to just before its line end.
class ItemLine {
public:
    explicit ItemLine(BlockWriter& out) : out_(out), from_(out.Mark()) {}

    void Add(std::string_view text) { out_.Add(text); }
    // Appends an entry's text. Text borrowed from a file is part of one of its lines and holds
    // no line break; only other text can need KeepOnOneLine. A borrowed text of many megabytes
    // (a damaged file's URL) goes straight to the file, after the item so far is made one line.
    void AddText(const EntryText& text) {
        if (text.IsBorrowed() && BlockWriter::WritesThrough(text.size())) {
            KeepOnOneLine();
            out_.WriteThrough(text.view());
            from_ = out_.Mark();
            return;
        }
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
        OutputBuffer& pending = out_.Pending();
        const std::string_view item = std::string_view(pending).substr(from_);
        constexpr auto npos = std::string_view::npos;
        if (item.find('\n') == npos && item.find('\r') == npos && item.find('\0') == npos) return;
        std::replace_if(pending.begin() + static_cast<std::ptrdiff_t>(from_), pending.end(), EndsLine, ' ');
    }

private:
    BlockWriter& out_;
    std::size_t from_;
    bool mayBreakLine_ = false;
};

// The line that tells a browser's importer the file's encoding.
constexpr std::string_view kCharsetLineStart = "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=";
constexpr std::string_view kCharsetLineEnd = "\">\r\n";
// The heading of a file whose owner is not known at all.
constexpr std::string_view kNoOwnerHeading = "Bookmarks";

// Text for the header, on one line like every other.
std::string OneLine(std::string text) {
    std::replace_if(text.begin(), text.end(), EndsLine, ' ');
    return text;
}

// The header: the set's document title and heading, else the person's "X's Bookmarks" for
// both, and the line naming the file's encoding when it is known.
std::string Header(const UrlSet& set) {
    std::string heading = HeadingOf(set);
    if (heading.empty()) {
        // The person's name is plain text; the header is HTML.
        const std::string owner = HtmlFromPlain(RegisteredOwner());
        heading = owner.empty() ? std::string(kNoOwnerHeading) : owner + std::string(kOwnTitleTail);
    }
    heading = OneLine(heading);
    // The document's title as the file read had it, else the heading again.
    const std::string documentTitle = set.documentTitle.empty() ? heading : OneLine(set.documentTitle);
    // The header's layout, with the title and the heading in place of each "X's Bookmarks".
    std::string layout = LoadString(IDS_NETSCAPE_HEADER);
    const std::string ownerForm = "%s" + std::string(kOwnTitleTail);
    for (std::size_t at = layout.find(ownerForm); at != std::string::npos; at = layout.find(ownerForm, at))
        layout.replace(at, ownerForm.size(), "%s");
    std::string header = FormatText(layout, {documentTitle, heading});
    if (!set.charset.empty()) {
        const std::size_t afterFirstLine = header.find('\n') + 1;
        header.insert(afterFirstLine,
                      std::string(kCharsetLineStart) + OneLine(set.charset) + std::string(kCharsetLineEnd));
    }
    return header;
}

// A description goes on a line of its own after the item it belongs to, as it was read.
void AddDescription(BlockWriter& out, const EntryText& description) {
    if (description.empty()) return;
    out.Add("<DD>");
    out.Add(description.view());
    out.Add("\r\n");
}

// The lines of the set's entries, after the header.
class NetscapeWriter final : public EntryWalker {
public:
    explicit NetscapeWriter(BlockWriter& out) : out_(out) {}

    // Whether the set closed the header's list itself: more folders ended than began.
    bool ClosedTopLevel() const { return TopLevelEnds() > Depth(); }

private:
    void VisitLink(UrlEntry& entry) override {
        if (!AddPlainLink(entry)) AddLink(entry);
        AddDescription(out_, entry.description);
        out_.EndItem();
    }

    // Whether text can go into a line as it stands: it lies in the file read (or is empty), so
    // it holds no line break, and it is not one to write straight to the file.
    static bool FitsLine(const EntryText& text) {
        return (text.empty() || text.IsBorrowed()) && !BlockWriter::WritesThrough(text.size());
    }

    // A link with nothing to keep for a later verification, whose texts all fit a line as they
    // stand (a link read from a file and not changed since): its line is appended as AddLink
    // would put it, without the checks each of AddLink's parts makes, its room made once. False,
    // nothing added, for any other.
    bool AddPlainLink(const UrlEntry& entry) {
        if ((entry.flags & (NamePreserved | LocationPreserved | ChangedByVerification)) != 0 ||
            !entry.preservedLocation.empty() || !FitsLine(entry.url) || !FitsLine(entry.extraAttributes) ||
            !FitsLine(entry.name)) {
            return false;
        }
        constexpr std::string_view kStart = "<DT><A HREF=\"";
        constexpr std::string_view kEnd = "</A>\r\n";
        const std::string_view url = entry.url.view();
        const std::string_view extra = entry.extraAttributes.view();
        const std::string_view name = entry.name.view();
        const std::size_t length =
            kStart.size() + url.size() + (extra.empty() ? 2 : 3 + extra.size()) + name.size() + kEnd.size();
        char* at = PutText(out_.Pending().Extend(length), kStart);
        at = PutText(at, url);
        if (!extra.empty()) {
            at = PutText(PutText(at, "\" "), extra);
            *at++ = '>';
        } else {
            at = PutText(at, "\">");
        }
        PutText(PutText(at, name), kEnd);
        return true;
    }

    void AddLink(UrlEntry& entry) {
        ItemLine item(out_);
        item.Add("<DT><A HREF=\"");
        item.AddText(entry.url);
        item.Add("\"");
        if (entry.flags & (NamePreserved | ChangedByVerification)) {
            item.AddAttribute(kPreservedNameName, entry.preservedName);
        }
        // A link's origin is kept whenever it is known and lies outside "Unverified", also for
        // a link read from a file (whose flags are 0), so that a later verification can still
        // move it back to its folder.
        const bool locationWanted =
            (entry.flags & (LocationPreserved | ChangedByVerification)) != 0 || !entry.preservedLocation.empty();
        if (locationWanted && !StartsWith(entry.preservedLocation, kUnverifiedPrefix)) {
            item.AddAttribute(kPreservedLocationName, entry.preservedLocation);
        }
        if (!entry.extraAttributes.empty()) {
            item.Add(" ");
            item.AddText(entry.extraAttributes);
        }
        item.Add(">");
        item.AddText(entry.name);
        item.KeepOnOneLine();
        out_.Add("</A>\r\n");
    }

    void EnterFolder(UrlEntry& entry) override {
        ItemLine item(out_);
        item.Add("<DT><H3");
        // A folder's attributes are kept as the reader took them: each after a space.
        const EntryText& attributes = MarkedAttributes(entry);
        if (!attributes.empty() && !IsWhite(attributes[0])) item.Add(" ");
        item.AddText(attributes);
        item.Add(">");
        item.AddText(entry.name);
        item.KeepOnOneLine();
        out_.Add("</H3>\r\n");
        AddDescription(out_, entry.description);
        out_.Add("<DL><p>\r\n");
        out_.EndItem();
    }

    // The folder's attributes with its mark spelled where a browser accepts it: on a top-level
    // folder, once in the file (Firefox refuses a whole file with a toolbar folder inside
    // another). A mark spelled anywhere else is left out.
    const EntryText& MarkedAttributes(const UrlEntry& folder) {
        const EntryText* attributes = &folder.extraAttributes;
        for (const netscape::MarkSpelling& spelling : netscape::kMarkSpellings) {
            const auto bit = 1U << static_cast<unsigned>(spelling.mark);
            const bool wanted = folder.mark == spelling.mark && Depth() == 1 && (marksWritten_ & bit) == 0;
            netscape::AttributeSpan span;
            const bool present = netscape::FindAttribute(*attributes, spelling.attributeName, span);
            if (present == wanted) {
                if (wanted) marksWritten_ |= bit;
                continue;
            }
            std::string text = attributes->str();
            if (wanted) {
                netscape::AddAttribute(text, spelling.attributeName, "true");
                marksWritten_ |= bit;
            } else {
                text.erase(span.begin, span.end - span.begin);
            }
            respelled_ = std::string_view(text);
            attributes = &respelled_;
        }
        return *attributes;
    }

    void LeaveFolder(UrlEntry& /*end*/) override { EndList(); }
    void EndTopLevel(UrlEntry& /*end*/) override { EndList(); }

    void EndList() {
        out_.Add(kListEndLine);
        out_.EndItem();
    }

    void VisitSeparator(UrlEntry& /*separator*/) override {
        out_.Add("<HR>\r\n");
        out_.EndItem();
    }

    bool Stopped() const override { return out_.Failed(); }

    BlockWriter& out_;
    unsigned marksWritten_ = 0;  // a bit per mark spelled in the file so far
    EntryText respelled_;        // a folder's attributes with its marks changed
};

}  // namespace

int WriteNetscape(SetStorage& storage) {
    UrlSet& set = storage.Set();
    BlockWriter out(storage, IDS_ERR_NETSCAPE_HEADER);
    if (!out.Begin()) return 0;

    const std::string header = Header(set);
    out.Add(header);
    // The header goes out on its own: a failure after it is one of the lines.
    out.Flush();

    out.BeginPart(IDS_ERR_NETSCAPE_LINE);
    NetscapeWriter writer(out);
    writer.Walk(set);

    // The header opens a list that the set's closing FolderEnd closes. Only a set without
    // one gets the footer, so the list is closed exactly once and rewriting a file that was
    // read keeps it the same.
    if (!writer.ClosedTopLevel()) {
        out.BeginPart(IDS_ERR_NETSCAPE_FOOTER);
        out.Add(kListEndLine);
    }
    out.Flush();
    // A set read while it is written may name its heading, title or encoding only after the
    // header went out (a bookmark file with another file's header further on): the header is
    // then made again, as it would have been from the whole set.
    if (const std::string whole = Header(set); whole != header) out.RewriteStart(header.size(), whole);
    return out.Failed() ? 0 : 1;
}

}  // namespace tolva
