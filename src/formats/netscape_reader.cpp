// Reader of Netscape bookmark files. It goes through each line tag by tag, acting on the few
// tags that make a bookmark file (in any case) and passing over everything else, so it accepts
// what browsers and bookmark services export.

#include <algorithm>
#include <atomic>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "formats/file_image.h"
#include "formats/format.h"
#include "formats/netscape.h"
#include "formats/netscape_link.h"
#include "formats/set_storage.h"
#include "platform/ascii.h"
#include "platform/stop_request.h"
#include "resources/strings.h"

namespace tolva {

namespace {

constexpr std::string_view kLinkEnd = "</A>";
// An item that is a link, and one that is a folder, as browsers spell them.
constexpr std::string_view kLinkItem = "<DT><A ";
constexpr std::string_view kFolderItem = "<DT><H3";

// Whether text begins with a line that begins with an item as browsers write them.
bool BeginsItemLine(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    return StartsWith(text, kLinkItem) || StartsWith(text, kFolderItem);
}

// The tags the reader acts on, wherever they stand on a line. A description runs until the
// next of them.
constexpr std::string_view kKnownTags[] = {"DT", "DD", "DL", "/DL", "HR", "H1", "H3", "META", "TITLE"};

// Whether text begins with the tag name: "<", the name in any case, then ">", "/" or white
// space (so "<DL>" is no "<DD>" and "<Hr>" no "<HREF").
bool BeginsTag(std::string_view text, std::string_view name) {
    if (text.size() < name.size() + 2 || text[0] != '<') return false;
    const char after = text[name.size() + 1];
    return (after == '>' || after == '/' || IsWhite(after)) &&
           EqualsIgnoringAsciiCase(text.substr(1, name.size()), name);
}

bool BeginsKnownTag(std::string_view text) {
    return std::any_of(std::begin(kKnownTags), std::end(kKnownTags),
                       [&](std::string_view name) { return BeginsTag(text, name); });
}

// Where the first known tag in text begins, or npos.
std::size_t FindKnownTag(std::string_view text) {
    for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at + 1)) {
        if (BeginsKnownTag(text.substr(at))) return at;
    }
    return std::string_view::npos;
}

// Where closing (such as "</A>") first stands in text from from on, in any case, or npos.
std::size_t FindIgnoringCase(std::string_view text, std::string_view closing, std::size_t from) {
    for (std::size_t at = text.find('<', from); at != std::string_view::npos; at = text.find('<', at + 1)) {
        if (EqualsIgnoringAsciiCase(text.substr(at, closing.size()), closing)) return at;
    }
    return std::string_view::npos;
}

std::string_view TrimTrailingWhite(std::string_view text) {
    while (!text.empty() && IsWhite(text.back())) text.remove_suffix(1);
    return text;
}

// Builds the set from the lines of a bookmark file. Each line is read tag by tag, so a line
// may hold several items; a link may go on over the lines that follow; a description ("<DD>")
// runs until the next tag the reader knows, over as many lines as it takes. Every byte is
// looked at a bounded number of times, whatever the file holds.
class NetscapeReader {
public:
    NetscapeReader(UrlSet& set, LineScanner& lines) : set_(set), lines_(lines) {}

    void ReadLine(std::string_view line) {
        quotesMayClose_ = true;
        std::string_view rest = line;
        for (;;) {
            rest = TrimLeadingWhite(rest);
            if (rest.empty()) return;
            if (describing_ != nullptr) {
                rest = Describe(rest);
            } else if (StartsWith(rest, kLinkItem)) {
                // How browsers write nearly every line: read as Item reads it, without trying
                // each tag in turn.
                CloseEmptyFolder();
                rest = Link(rest.substr(kLinkItem.size() - 3));
            } else if (!Item(rest)) {
                // Text or a tag the reader does not know: on to the next tag it knows.
                const std::size_t next = FindKnownTag(rest.substr(1));
                if (next == std::string_view::npos) return;
                rest = rest.substr(1 + next);
            }
        }
    }

    // Reads the next line when it is one link as browsers write it (white space, "<DT><A ",
    // the link in the plain spelling, nothing but white space after its "</A>") straight from
    // the bytes ahead, as ReadLine would read it: where the line ends is then found while the
    // link is taken apart, not in a pass of its own over the line. False, nothing read, for
    // any other line or one not yet whole: Next and ReadLine then take it.
    bool ReadLinkLine(LineScanner& lines) {
        const std::string_view ahead = lines.Ahead();
        std::size_t indent = LeadingSpaces(ahead);
        while (indent < ahead.size() && ahead[indent] == '\t') ++indent;
        // Of a length known here, so compared in place rather than by a call.
        if (ahead.size() - indent < kLinkItem.size() ||
            std::memcmp(ahead.data() + indent, kLinkItem.data(), kLinkItem.size()) != 0) {
            return false;
        }
        // The item's "<DT>" ends an open description before anything else, as in ReadLine.
        if (describing_ != nullptr) EndDescription();
        const std::size_t from = indent + kLinkItem.size();
        std::size_t lineEnd = 0;
        std::unique_ptr<UrlEntry> link(netscape::ParsePlainLinkLine(ahead.substr(from), lineEnd));
        if (!link || !lines.TakeLine(from + lineEnd)) return false;
        quotesMayClose_ = true;
        CloseEmptyFolder();
        AppendLink(link.release());
        return true;
    }

    void Finish() {
        EndDescription();
        CloseEmptyFolder();
    }

    // Whether a heading or a document title was read (the set then holds it).
    bool TookHeading() const { return tookHeading_; }
    bool TookDocumentTitle() const { return tookDocumentTitle_; }

private:
    // Reads the item text begins with, if it is one, and leaves text at what follows it.
    bool Item(std::string_view& text) {
        if (BeginsTag(text, "DT")) {
            CloseEmptyFolder();
            text = TrimLeadingWhite(AfterTag(text));
            if (BeginsTag(text, "A")) {
                text = Link(text);
            } else if (BeginsTag(text, "H3")) {
                text = Folder(text);
            } else if (BeginsTag(text, "H1")) {
                text = Title(text);
            }
        } else if (BeginsTag(text, "DD")) {
            // A description belongs to the link or folder just before it; any other (Netscape 4
            // writes one before the first list) is read and dropped.
            const bool owned = describable_ != nullptr && describable_->description.empty();
            describing_ = owned ? describable_ : &unowned_;
            describable_ = nullptr;
            text = AfterTag(text);
        } else if (BeginsTag(text, "DL")) {
            folderAwaitsList_ = false;
            describable_ = nullptr;
            text = AfterTag(text);
        } else if (BeginsTag(text, "/DL")) {
            CloseEmptyFolder();
            set_.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
            text = AfterTag(text);
        } else if (BeginsTag(text, "HR")) {
            CloseEmptyFolder();
            set_.Append(new UrlEntry(UrlEntryKind::Separator, {}));
            text = AfterTag(text);
        } else if (BeginsTag(text, "H3")) {
            CloseEmptyFolder();
            text = Folder(text);
        } else if (BeginsTag(text, "H1")) {
            text = Title(text);
        } else if (BeginsTag(text, "TITLE")) {
            text = DocumentTitle(text);
        } else if (BeginsTag(text, "META")) {
            const std::string_view tag = text.substr(0, std::min(text.find('>'), text.size()));
            TakeCharset(tag);
            text = AfterTag(text);
        } else {
            return false;
        }
        return true;
    }

    // What follows the tag text begins with; nothing when the tag does not end on its line.
    static std::string_view AfterTag(std::string_view text) {
        const std::size_t close = text.find('>');
        return close == std::string_view::npos ? std::string_view() : text.substr(close + 1);
    }

    // The ">" that ends the attributes text begins with: the first outside a quoted value.
    // Once a quote on a line is found never to close, the rest of that line is taken at its
    // first ">", so no part of a line is searched twice for a quote.
    std::size_t AttributesEnd(std::string_view text) {
        if (!quotesMayClose_) return text.find('>');
        bool balanced = true;
        const std::size_t end = netscape::FindAttributesEnd(text, &balanced);
        quotesMayClose_ = balanced;
        return end;
    }

    // A link: "<A", its attributes, ">", its name, "</A>", the end perhaps on a later line.
    std::string_view Link(std::string_view text) {
        std::string_view body = text.substr(2);
        if (!body.empty() && IsWhite(body.front())) body.remove_prefix(1);
        std::string_view rest;
        UrlEntry* link = quotesMayClose_ ? PlainLink(body, rest) : nullptr;
        if (link == nullptr) link = AnyLink(body, rest);
        AppendLink(link);
        return rest;
    }

    void AppendLink(UrlEntry* link) {
        set_.Append(link);
        ++set_.linkCount;
        describable_ = link;
    }

    // A link spelled as browsers write it that ends on its line, read in one pass: its
    // attributes are taken apart up to their ">", then only its name is searched for "</A>".
    // AnyLink reads such a link the same way; it is left the rest.
    UrlEntry* PlainLink(std::string_view body, std::string_view& rest) {
        // The name it gives runs on to the end of the line.
        std::unique_ptr<UrlEntry> link(netscape::ParsePlainLink(body));
        if (!link) return nullptr;
        const std::string_view name = link->name.view();
        const std::size_t end = FindIgnoringCase(name, kLinkEnd, 0);
        if (end == std::string_view::npos) return nullptr;
        link->name = EntryText::Borrow(name.substr(0, end));
        rest = name.substr(end + kLinkEnd.size());
        return link.release();
    }

    UrlEntry* AnyLink(std::string_view body, std::string_view& rest) {
        const std::size_t attributesEnd = AttributesEnd(body);
        std::size_t end = FindIgnoringCase(body, kLinkEnd, 0);
        // An "</A>" before the end of the attributes stands in a quoted value, unless its own
        // ">" was taken for that end: then the link has no ">" of its own.
        const bool noAttributesEnd = attributesEnd == std::string_view::npos ||
                                     (end != std::string_view::npos && attributesEnd == end + kLinkEnd.size() - 1);
        const std::size_t nameFrom = noAttributesEnd ? 0 : attributesEnd + 1;
        if (end != std::string_view::npos && end < nameFrom) end = FindIgnoringCase(body, kLinkEnd, nameFrom);
        UrlEntry* link = nullptr;
        if (end != std::string_view::npos) {
            link = netscape::ParseLink(body.substr(0, end), true, scratch_);
            rest = body.substr(end + kLinkEnd.size());
        } else {
            // The following lines are joined with one space and not counted. A file that ends
            // before "</A>" ends the link with what it has.
            linkText_.assign(body);
            std::string_view line;
            std::size_t joinedAt = 0;
            while (end == std::string::npos && lines_.Next(line)) {
                joinedAt = linkText_.size() + 1;
                linkText_ += ' ';
                linkText_ += line;
                end = FindIgnoringCase(linkText_, kLinkEnd, std::max(joinedAt, nameFrom));
            }
            if (end != std::string::npos) rest = line.substr(end + kLinkEnd.size() - joinedAt);
            link = netscape::ParseLink(std::string_view(linkText_).substr(0, end), false, scratch_);
            quotesMayClose_ = true;
        }
        return link;
    }

    // A folder heading: "<H3", its attributes (kept as a link's are), ">", the name, "</H3>".
    // The folder's list is the "<DL>" after it; a heading without one is an empty folder.
    std::string_view Folder(std::string_view text) {
        const std::string_view body = text.substr(3);
        const std::size_t attributesEnd = AttributesEnd(body);
        const std::size_t nameFrom = attributesEnd == std::string_view::npos ? 0 : attributesEnd + 1;
        const std::size_t end = FindIgnoringCase(body, kFolderEnd, nameFrom);
        const std::string_view heading = body.substr(0, end);
        std::string_view rest =
            end == std::string_view::npos ? std::string_view() : body.substr(end + kFolderEnd.size());
        UrlEntry* folder = nullptr;
        if (attributesEnd == 0 || attributesEnd == std::string_view::npos) {
            folder = new UrlEntry(UrlEntryKind::FolderStart, EntryText::Borrow(heading.substr(nameFrom)));
        } else {
            // The attributes are spelled as a link's: the same reading keeps them the same way.
            std::unique_ptr<UrlEntry> parsed(netscape::ParseLink(heading, true, scratch_));
            folder = new UrlEntry(UrlEntryKind::FolderStart, std::move(parsed->name));
            folder->extraAttributes = std::move(parsed->extraAttributes);
            folder->mark = netscape::MarkOfAttributes(folder->extraAttributes);
        }
        set_.Append(folder);
        ++set_.folderCount;
        describable_ = folder;
        folderAwaitsList_ = true;
        return rest;
    }

    // The title heading: "<H1", attributes, ">", the heading, "</H1>". This program's own
    // "X's Bookmarks" gives the owner X as the title; any other heading is kept whole.
    std::string_view Title(std::string_view text) {
        const std::string_view body = text.substr(3);
        const std::size_t attributesEnd = body.find('>');
        const std::size_t from = attributesEnd == std::string_view::npos ? body.size() : attributesEnd + 1;
        const std::size_t end = FindIgnoringCase(body, kTitleEnd, from);
        tookHeading_ = true;
        TakeHeading(set_, body.substr(from, end == std::string_view::npos ? end : end - from));
        return end == std::string_view::npos ? std::string_view() : body.substr(end + kTitleEnd.size());
    }

    // The document's title: "<TITLE", attributes, ">", the title, "</TITLE>". Kept apart from
    // the heading, which browsers word differently ("Bookmarks" over "Bookmarks Menu").
    std::string_view DocumentTitle(std::string_view text) {
        const std::string_view body = text.substr(6);
        const std::size_t attributesEnd = body.find('>');
        if (attributesEnd == std::string_view::npos) return {};
        const std::size_t end = FindIgnoringCase(body, kDocumentTitleEnd, attributesEnd + 1);
        tookDocumentTitle_ = true;
        set_.documentTitle.assign(
            body.substr(attributesEnd + 1, end == std::string_view::npos ? end : end - attributesEnd - 1));
        return end == std::string_view::npos ? std::string_view() : body.substr(end + kDocumentTitleEnd.size());
    }

    // The encoding a "<META ... CONTENT="text/html; charset=X">" declares; the first one counts.
    void TakeCharset(std::string_view tag) {
        constexpr std::string_view kCharset = "charset=";
        if (!set_.charset.empty()) return;
        for (std::size_t at = 0; at + kCharset.size() <= tag.size(); ++at) {
            if (!EqualsIgnoringAsciiCase(tag.substr(at, kCharset.size()), kCharset)) continue;
            std::string_view value = tag.substr(at + kCharset.size());
            if (!value.empty() && (value.front() == '"' || value.front() == '\'')) value.remove_prefix(1);
            set_.charset.assign(value.substr(0, std::min(value.find_first_of("\"'; \t>"), value.size())));
            return;
        }
    }

    // Takes text into the open description up to the next known tag; returns what follows.
    std::string_view Describe(std::string_view text) {
        const std::size_t tag = FindKnownTag(text);
        const std::string_view words = TrimTrailingWhite(text.substr(0, tag));
        if (!words.empty()) {
            if (descriptionBegin_ == nullptr) descriptionBegin_ = words.data();
            descriptionEnd_ = words.data() + words.size();
        }
        if (tag == std::string_view::npos) return {};
        EndDescription();
        return text.substr(tag);
    }

    void EndDescription() {
        if (describing_ != nullptr && describing_ != &unowned_ && descriptionBegin_ != nullptr) {
            describing_->description = EntryText::Borrow(
                std::string_view(descriptionBegin_, static_cast<std::size_t>(descriptionEnd_ - descriptionBegin_)));
        }
        describing_ = nullptr;
        descriptionBegin_ = descriptionEnd_ = nullptr;
    }

    // A folder heading followed by anything but its list is an empty folder.
    void CloseEmptyFolder() {
        describable_ = nullptr;
        if (!folderAwaitsList_) return;
        folderAwaitsList_ = false;
        set_.Append(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    }

    static constexpr std::string_view kFolderEnd = "</H3>";
    static constexpr std::string_view kTitleEnd = "</H1>";
    static constexpr std::string_view kDocumentTitleEnd = "</TITLE>";

    UrlSet& set_;
    LineScanner& lines_;
    std::string linkText_;
    netscape::LinkScratch scratch_;
    bool quotesMayClose_ = true;
    bool folderAwaitsList_ = false;
    bool tookHeading_ = false;
    bool tookDocumentTitle_ = false;
    // The link or folder a "<DD>" next would describe, and the one being described.
    UrlEntry* describable_ = nullptr;
    UrlEntry* describing_ = nullptr;
    UrlEntry unowned_;
    // Where the description's text begins and ends in the file.
    const char* descriptionBegin_ = nullptr;
    const char* descriptionEnd_ = nullptr;
};

// The later part of a large file, read on a thread of its own into a set of its own while the
// reading thread goes through the earlier part; joined on when that thread gets to where it
// begins. It begins at a line that begins with an item as browsers write them ("<DT><A " or
// "<DT><H3"): such an item ends an open description and closes an empty folder before
// anything else, as Finish does, so reading on from there with nothing open gives what
// reading on to there gives. Were the earlier part to run on into it (a link whose "</A>"
// comes lines later), it is dropped, and the reading thread reads on alone.
class LaterPart {
public:
    // from: where to look for the later part's first line; kChoose to take the middle of what
    // the reading thread has still to read once the file is in place, if that is large.
    static constexpr std::size_t kChoose = std::string_view::npos;

    LaterPart(FileImage& image, std::size_t from, const std::atomic<std::size_t>& readTo)
        : image_(image), from_(from), readTo_(readTo) {}
    ~LaterPart() {
        cancelled_.store(true, std::memory_order_relaxed);
        if (thread_.joinable()) thread_.join();
    }
    LaterPart(const LaterPart&) = delete;
    LaterPart& operator=(const LaterPart&) = delete;

    // False, nothing started, when no thread is to be had.
    bool Start() {
        part_.StartReadingPart();
        try {
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        }
        return true;
    }

    // Where the part begins in the file, once it is chosen; kNone until then, or when there is
    // none.
    std::size_t Begin() const noexcept { return begin_.load(std::memory_order_acquire); }
    // Waits until the thread has chosen where the part begins, or that there is none.
    void AwaitBegin() const noexcept { decided_.wait(false, std::memory_order_acquire); }

    // Waits for the part to be read and appends it to set, as if set's reader had read on; the
    // count of lines it read goes to status.
    std::size_t JoinInto(UrlSet& set) {
        thread_.join();
        if (failure_) std::rethrow_exception(failure_);
        if (tookHeading_) {
            set.title = part_.title;
            set.heading = part_.heading;
        }
        if (tookDocumentTitle_) set.documentTitle = part_.documentTitle;
        if (set.charset.empty()) set.charset = part_.charset;
        set.linkCount += part_.linkCount;
        set.folderCount += part_.folderCount;
        set.AppendPart(part_);
        return lines_;
    }

    static constexpr std::size_t kNone = std::string_view::npos;

    // Whether bytes still to read are worth a second thread: for a few megabytes, it saves
    // less than it costs to start.
    static bool WorthIt(std::size_t bytes) { return bytes >= 4 * 1024 * 1024; }

private:
    void Run() {
        try {
            bool complete = false;
            std::string_view text = image_.WaitBeyond(0, complete);
            while (!complete) text = image_.WaitBeyond(text.size(), complete);
            std::size_t from = from_;
            if (from == kChoose) {
                const std::size_t readTo = readTo_.load(std::memory_order_relaxed);
                if (readTo >= text.size() || !WorthIt(text.size() - readTo)) {
                    Decide(kNone);
                    return;
                }
                from = readTo + (text.size() - readTo) / 2;
            }
            const std::size_t begin = ItemLineFrom(text, from);
            Decide(begin);
            if (begin == kNone) return;
            LineScanner lines(text.substr(begin));
            NetscapeReader reader(part_, lines);
            std::string_view line;
            for (;;) {
                lines_ += lines.SkipEmptyLines();
                if (cancelled_.load(std::memory_order_relaxed)) break;
                if (!reader.ReadLinkLine(lines)) {
                    if (!lines.Next(line)) break;
                    reader.ReadLine(line);
                }
                ++lines_;
            }
            reader.Finish();
            tookHeading_ = reader.TookHeading();
            tookDocumentTitle_ = reader.TookDocumentTitle();
        } catch (...) {
            failure_ = std::current_exception();
            Decide(kNone);
        }
    }

    void Decide(std::size_t begin) {
        begin_.store(begin, std::memory_order_release);
        decided_.store(true, std::memory_order_release);
        decided_.notify_all();
    }

    // Where, from from on and within kSplitSearch bytes, a line begins with an item as
    // browsers write it; kNone when none does.
    static std::size_t ItemLineFrom(std::string_view text, std::size_t from) {
        const std::size_t last = std::min(text.size(), from + kSplitSearch);
        for (std::size_t at = from; at < last;) {
            const std::size_t lf = text.find('\n', at);
            if (lf == std::string_view::npos || lf >= last) break;
            if (BeginsItemLine(text.substr(lf + 1))) return lf + 1;
            at = lf + 1;
        }
        return kNone;
    }

    // How far the later part's first line is looked for.
    static constexpr std::size_t kSplitSearch = 64 * 1024;

    FileImage& image_;
    const std::size_t from_;
    const std::atomic<std::size_t>& readTo_;
    UrlSet part_;
    std::thread thread_;
    std::atomic<std::size_t> begin_{kNone};
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> decided_{false};
    // Written by the thread, read once it is joined.
    std::size_t lines_ = 0;
    bool tookHeading_ = false;
    bool tookDocumentTitle_ = false;
    std::exception_ptr failure_;
};

int Read(SetStorage& storage, TextControl* statusText, std::size_t laterFrom, std::size_t* laterBegan = nullptr) {
    UrlSet& set = storage.Set();
    ArrivingBytes bytes(storage);
    if (bytes.Image() == nullptr) return 0;
    LineScanner lines(*bytes.Image());
    NetscapeReader reader(set, lines);
    std::string_view line;
    CounterText status(LoadString(IDS_STATUS_READING_LINE));
    TextControl* const lineStatus =
        statusText != nullptr && !statusText->DropsCounter(IDS_STATUS_READING_LINE) ? statusText : nullptr;
    int result = 0;
    set.heading.clear();
    set.documentTitle.clear();
    set.charset.clear();
    // How far this thread has read, for the later part to begin well beyond.
    std::atomic<std::size_t> readTo{0};
    std::optional<LaterPart> later;
    if (laterFrom != LaterPart::kChoose || LaterPart::WorthIt(bytes.Image()->ExpectedSize())) {
        later.emplace(*bytes.Image(), laterFrom, readTo);
        if (!later->Start()) {
            later.reset();
        } else if (laterFrom != LaterPart::kChoose) {
            later->AwaitBegin();  // where the caller chose: this thread must not pass it first
        }
    }
    bool joined = false;
    for (;;) {
        // An empty line changes nothing but the count; a run of them is passed in one step.
        if (const std::size_t empty = lines.SkipEmptyLines(); empty > 0) {
            result = 1;
            if (lineStatus) lineStatus->SetText(status.Advance(empty));
        }
        if (later) {
            const std::size_t at = lines.Position();
            readTo.store(at, std::memory_order_relaxed);
            if (const std::size_t begin = later->Begin(); at >= begin) {
                if (at == begin) {
                    if (laterBegan) *laterBegan = begin;
                    reader.Finish();
                    const std::size_t read = later->JoinInto(set);
                    if (lineStatus) lineStatus->SetText(status.Advance(read));
                    result = 1;
                    joined = true;
                    break;
                }
                later.reset();  // this thread read on into it
            }
        }
        if (!reader.ReadLinkLine(lines)) {
            if (!lines.Next(line)) break;
            reader.ReadLine(line);
        }
        result = 1;
        if (lineStatus) lineStatus->SetText(status.Advance());
    }
    if (!joined) reader.Finish();

    set.SetCursor(nullptr);
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_NETSCAPE_LOADED));
    return result;
}

// A bookmark file read a batch at a time while a writer walks the set (UrlSet::RefillFrom),
// through a window on the file that each batch is read into again, so that neither the file
// nor its entries ever lie in memory whole. A batch ends before a line that begins with an item
// as browsers write them, as the later part of a large file begins (LaterPart): nothing is open
// there, and no entry still to come borrows text from before it. The first batch, read when
// the stream is opened, runs on to the first link at least, so that a file without one is
// known as such before anything is written.
class NetscapeStream final : public SetStream {
public:
    NetscapeStream(UrlSet& set, std::unique_ptr<File> file, std::size_t batchBytes)
        : set_(set), file_(std::move(file)), batchBytes_(batchBytes) {}

    // Reads the header and the first batch; false when the file cannot be read, or holds not
    // a single line.
    bool Open(TextControl* statusText) {
        // A file that cannot be read is the run's to report, as after ReadNetscape.
        if (!image_.StartWindow(*file_)) return false;
        lines_.emplace(image_);
        reader_.emplace(set_, *lines_);
        set_.heading.clear();
        set_.documentTitle.clear();
        set_.charset.clear();
        set_.StartReading();
        TextControl* const lineStatus =
            statusText != nullptr && !statusText->DropsCounter(IDS_STATUS_READING_LINE) ? statusText : nullptr;
        const int read = ReadBatch(lineStatus);
        // Shown as ReadNetscape shows it, whatever the run then makes of what was read.
        if (statusText) statusText->SetText(LoadString(IDS_STATUS_NETSCAPE_LOADED));
        // A file without a single line is not read at all, as ReadNetscape has it.
        return read >= 0 && !(done_ && lines_->Position() == 0);
    }

    int More(UrlSet& /*set*/) override {
        if (done_) return 0;
        // A stop the person asked for ends the read between two batches; the run says so.
        if (StopRequested()) return -1;
        // The entries of the batch before are gone with the text they borrowed.
        lines_->DropTaken();
        return ReadBatch(nullptr);
    }

    bool AllAppended() const override { return done_; }

private:
    int ReadBatch(TextControl* lineStatus) {
        std::string_view line;
        for (;;) {
            if (const std::size_t empty = lines_->SkipEmptyLines(); empty > 0 && lineStatus)
                lineStatus->SetText(status_.Advance(empty));
            const std::string_view ahead = lines_->Ahead();
            if (EndsBatch(ahead) && set_.linkCount > 0 && BeginsItemLine(ahead)) {
                reader_->Finish();  // what the item would do first
                return 1;
            }
            if (!reader_->ReadLinkLine(*lines_)) {
                if (!lines_->Next(line)) break;
                reader_->ReadLine(line);
            }
            if (lineStatus) lineStatus->SetText(status_.Advance());
        }
        reader_->Finish();
        done_ = true;
        return image_.Finish() ? 0 : -1;
    }

    // Whether a batch may end before the next line, given the bytes in place from there: once
    // the window is nearly gone through, so that little is left to move to its front, or once
    // batchBytes are read.
    bool EndsBatch(std::string_view ahead) const {
        const std::size_t read = lines_->Position();
        return read >= batchBytes_ || (read >= kLeastBatch && ahead.size() < kWindowTail);
    }

    static constexpr std::size_t kLeastBatch = 64 * 1024;
    static constexpr std::size_t kWindowTail = 16 * 1024;

    UrlSet& set_;
    std::unique_ptr<File> file_;
    const std::size_t batchBytes_;
    FileImage image_;
    std::optional<LineScanner> lines_;
    std::optional<NetscapeReader> reader_;
    CounterText status_{LoadString(IDS_STATUS_READING_LINE)};
    bool done_ = false;
};

std::unique_ptr<SetStream> Stream(SetStorage& storage, TextControl* statusText, std::size_t batchBytes) {
    auto stream = std::make_unique<NetscapeStream>(storage.Set(), storage.TakeFile(), batchBytes);
    if (!stream->Open(statusText)) return nullptr;
    return stream;
}

}  // namespace

std::unique_ptr<SetStream> StreamNetscape(SetStorage& storage, TextControl* statusText) {
    // A batch ends where the window is nearly gone through, whatever its size.
    return Stream(storage, statusText, std::numeric_limits<std::size_t>::max());
}

std::unique_ptr<SetStream> StreamNetscapeInBatches(SetStorage& storage, TextControl* statusText,
                                                   std::size_t batchBytes) {
    return Stream(storage, statusText, batchBytes);
}

int ReadNetscape(SetStorage& storage, TextControl* statusText) { return Read(storage, statusText, LaterPart::kChoose); }

int ReadNetscapeInParts(SetStorage& storage, TextControl* statusText, std::size_t laterFrom, std::size_t* laterBegan) {
    *laterBegan = std::string_view::npos;
    return Read(storage, statusText, laterFrom, laterBegan);
}

}  // namespace tolva
