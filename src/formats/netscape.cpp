// Reader and writer of Netscape bookmark files. The reader is a line recogniser: it looks at
// the start of each line for a few fixed, case-sensitive tags and takes the rest apart by
// position, so it accepts what browsers export and ignores every line it does not know.
// The writer emits a fixed header and one line (two for a folder) per entry, with CRLF.

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "formats/netscape_link.h"
#include "model/url_set.h"
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
// The tail of the title line this writer produces: "'s Bookmarks</H1>".
constexpr std::size_t kOwnTitleTailLength = 17;
// The closing tag a folder or title heading is expected to end with ("</H3>", "</H1>").
constexpr std::size_t kHeadingEndLength = 5;

constexpr std::string_view kListEndLine = "</DL><p>\r\n";
// Output is collected and written in blocks this large, so a big set costs few system calls.
constexpr std::size_t kWriteBlock = 256 * 1024;

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
        if (end < text_.size()) pos_ += (text_[end] == '\r' && end + 1 < text_.size() && text_[end + 1] == '\n') ? 2 : 1;
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

// Keeps the writer's output and hands it to the file in large blocks. The first failure is
// shown once, with the message of the part that was not written, and ends all writing.
class BlockWriter {
public:
    BlockWriter(UrlSet& set, File& file) : set_(set), file_(file) { buffer_.reserve(kWriteBlock * 2); }

    bool Failed() const { return failed_; }

    // Marks where the next bytes begin, so that a failure names the right part.
    void BeginPart(int failureMessage) {
        if (partCount_ < kMaxParts) parts_[partCount_++] = {Offset(), failureMessage};
    }

    // Appends text; it goes out in blocks between items (EndItem) and at the end (Flush).
    void Add(std::string_view text) { buffer_.append(text); }
    // Appends an entry's text. Text borrowed from a file is part of one of its lines and holds
    // no line break; only other text can need KeepOnOneLine.
    void AddText(const EntryText& text) {
        buffer_.append(text.view());
        mayBreakLine_ = mayBreakLine_ || !text.IsBorrowed();
    }
    void AddAttribute(std::string_view attributeName, const EntryText& value) {
        netscape::AddAttribute(buffer_, attributeName, value);
        mayBreakLine_ = mayBreakLine_ || !value.IsBorrowed();
    }

    // Where an item's text begins, for KeepOnOneLine.
    std::size_t Mark() const { return buffer_.size(); }

    // The format is one item per line, so a line break (or a zero byte, which ends a line too)
    // inside a name, URL or attribute would cut the item in two and let the rest pass for a tag
    // of its own, such as "</DL><p>". Each becomes a space. Called before the item's line end.
    void KeepOnOneLine(std::size_t from) {
        if (!mayBreakLine_) return;
        mayBreakLine_ = false;
        const std::string_view item = std::string_view(buffer_).substr(from);
        constexpr auto npos = std::string_view::npos;
        if (item.find('\n') == npos && item.find('\r') == npos && item.find('\0') == npos) return;
        std::replace_if(buffer_.begin() + static_cast<std::ptrdiff_t>(from), buffer_.end(), EndsLine, ' ');
    }

    void EndItem() {
        if (buffer_.size() >= kWriteBlock) Flush();
    }

    bool Flush() {
        if (failed_ || buffer_.empty()) return !failed_;
        if (!file_.Write(buffer_.data(), buffer_.size())) {
            Fail(MessageAt(written_), file_.LastErrno());
            return false;
        }
        written_ += buffer_.size();
        buffer_.clear();
        return true;
    }

    void Fail(int failureMessage, int errnoValue) {
        if (failed_) return;
        failed_ = true;
        buffer_.clear();
        set_.ShowRunMessage(FormatString(failureMessage, {errnoValue}));
    }

private:
    struct Part {
        std::size_t start = 0;
        int message = IDS_ERR_NETSCAPE_LINE;
    };
    static constexpr int kMaxParts = 3;  // header, lines, footer

    std::size_t Offset() const { return written_ + buffer_.size(); }

    // The message of the part that holds the byte at offset (the first one not written).
    int MessageAt(std::size_t offset) const {
        int message = partCount_ > 0 ? parts_[0].message : IDS_ERR_NETSCAPE_LINE;
        for (int i = 0; i < partCount_; ++i) {
            if (parts_[i].start <= offset) message = parts_[i].message;
        }
        return message;
    }

    UrlSet& set_;
    File& file_;
    std::string buffer_;
    std::size_t written_ = 0;
    bool failed_ = false;
    bool mayBreakLine_ = false;
    Part parts_[kMaxParts];
    int partCount_ = 0;
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

int UrlSet::ReadNetscape(TextControl* statusText) {
    std::string_view fileText;
    if (!TakeRest(fileText)) return 0;
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
            Append(new UrlEntry(Separator, {}));
            text = rest;
        }

        if (StartsWith(text, kFolderTag)) {
            std::string_view heading = DropFront(DropBack(text, kHeadingEndLength), kFolderTag.size());
            Append(new UrlEntry(FolderStart, EntryText::Borrow(AfterFirstCloseBracket(heading))));
            ++folderCount;
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
            Append(netscape::ParseLink(body.substr(0, end), inFile, scratch));
            ++linkCount;
        } else if (StartsWith(text, kListEndTag)) {
            Append(new UrlEntry(FolderEnd, {}));
        } else if (text == kSeparatorTag) {
            Append(new UrlEntry(Separator, {}));
        } else if (StartsWith(text, kTitleHeadingTag)) {
            title.assign(AfterFirstCloseBracket(DropFront(DropBack(text, kHeadingEndLength), kTitleHeadingTag.size())));
        } else if (StartsWith(text, kOwnTitleTag)) {
            title.assign(DropFront(DropBack(text, kOwnTitleTailLength), kOwnTitleTag.size()));
        }
    }

    cursor = nullptr;
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_NETSCAPE_LOADED));
    return result;
}

// ---------------------------------------------------------------------------------------
// Writing

int UrlSet::WriteNetscape() {
    File* file = GetFile();
    if (file == nullptr || !file->IsOpen()) {
        ShowRunMessage(FormatString(IDS_ERR_NETSCAPE_HEADER, {EBADF}));
        return 0;
    }
    BlockWriter out(*this, *file);
    // The file is rewritten from its start; what was there before must not show past the end.
    if (!file->Seek(0) || !file->Truncate()) {
        out.Fail(IDS_ERR_NETSCAPE_HEADER, file->LastErrno());
        return 0;
    }

    out.BeginPart(IDS_ERR_NETSCAPE_HEADER);
    // The title goes into the header through the same filter as every other text.
    std::string oneLineTitle = title;
    std::replace_if(oneLineTitle.begin(), oneLineTitle.end(), EndsLine, ' ');
    out.Add(FormatString(IDS_NETSCAPE_HEADER, {oneLineTitle, oneLineTitle}));
    out.EndItem();

    out.BeginPart(IDS_ERR_NETSCAPE_LINE);
    int folderStarts = 0;
    int folderEnds = 0;
    Rewind();
    for (UrlEntry* entry = Next(); entry && !out.Failed(); entry = Next()) {
        currentFlags = entry->flags;
        switch (entry->kind) {
            case Link: {
                const std::size_t from = out.Mark();
                out.Add("<DT><A HREF=\"");
                out.AddText(entry->url);
                out.Add("\"");
                if (currentFlags & (NamePreserved | ChangedByVerification)) {
                    out.AddAttribute(kPreservedNameName, entry->preservedName);
                }
                // A link's origin is kept whenever it is known and lies outside "Unverified",
                // also for a link read from a file (whose flags are 0), so that a later
                // verification can still move it back to its folder.
                const bool locationWanted = (currentFlags & (LocationPreserved | ChangedByVerification)) != 0 ||
                                            !entry->preservedLocation.empty();
                if (locationWanted && !StartsWith(entry->preservedLocation, kUnverifiedPrefix)) {
                    out.AddAttribute(kPreservedLocationName, entry->preservedLocation);
                }
                if (!entry->extraAttributes.empty()) {
                    out.Add(" ");
                    out.AddText(entry->extraAttributes);
                }
                out.Add(">");
                out.AddText(entry->name);
                out.KeepOnOneLine(from);
                out.Add("</A>\r\n");
                break;
            }
            case FolderStart: {
                ++folderStarts;
                const std::size_t from = out.Mark();
                out.Add("<DT><H3>");
                out.AddText(entry->name);
                out.KeepOnOneLine(from);
                out.Add("</H3>\r\n<DL><p>\r\n");
                break;
            }
            case FolderEnd:
                ++folderEnds;
                out.Add(kListEndLine);
                break;
            case Separator:
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
