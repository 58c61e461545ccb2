#pragma once
// The line reader of Netscape bookmark files, shared by the ways such a file is gone through
// (formats/netscape_reader.cpp): whole, in two parts at once, or a batch at a time while its
// copy is written. It goes through each line tag by tag, acting on the few tags that make a
// bookmark file (in any case) and passing over everything else, so it accepts what browsers
// and bookmark services export.

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "formats/format.h"
#include "formats/netscape_link.h"
#include "model/url_set.h"

namespace tolva {

// Builds the set from the lines of a bookmark file. Each line is read tag by tag, so a line
// may hold several items; a link may go on over the lines that follow; a description ("<DD>")
// runs until the next tag the reader knows, over as many lines as it takes. Every byte is
// looked at a bounded number of times, whatever the file holds.
class NetscapeReader {
public:
    NetscapeReader(UrlSet& set, LineScanner& lines) : set_(set), lines_(lines) {}

    // Whether text begins with a line that begins with an item as browsers write them ("<DT><A "
    // or "<DT><H3"): such an item ends an open description and closes an empty folder before
    // anything else, as Finish does, so reading on from there with nothing open gives what
    // reading on to there gives.
    static bool BeginsItemLine(std::string_view text);

    // Reads the next line of the scanner; false once there is none.
    bool ReadNext() {
        if (ReadLinkLine()) return true;
        std::string_view line;
        if (!lines_.Next(line)) return false;
        ReadLine(line);
        return true;
    }

    // Ends what the lines read left open: a description, a heading with no list after it.
    void Finish() {
        EndDescription();
        CloseEmptyFolder();
    }

    // Whether a heading or a document title was read (the set then holds it).
    bool TookHeading() const { return tookHeading_; }
    bool TookDocumentTitle() const { return tookDocumentTitle_; }

private:
    // Reads a line tag by tag.
    void ReadLine(std::string_view line);

    // Reads the next line when it is one link as browsers write it (white space, "<DT><A ",
    // the link in the plain spelling, nothing but white space after its "</A>") straight from
    // the bytes ahead, as ReadLine would read it: where the line ends is then found while the
    // link is taken apart, not in a pass of its own over the line. False, nothing read, for
    // any other line or one not yet whole: ReadLine then takes it.
    bool ReadLinkLine() {
        const std::string_view ahead = lines_.Ahead();
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
        if (!link || !lines_.TakeLine(from + lineEnd)) return false;
        quotesMayClose_ = true;
        CloseEmptyFolder();
        AppendLink(link.release());
        return true;
    }

    // Reads the item text begins with, if it is one, and leaves text at what follows it.
    bool Item(std::string_view& text);

    // The ">" that ends the attributes text begins with: the first outside a quoted value.
    // Once a quote on a line is found never to close, the rest of that line is taken at its
    // first ">", so no part of a line is searched twice for a quote.
    std::size_t AttributesEnd(std::string_view text);

    // A link: "<A", its attributes, ">", its name, "</A>", the end perhaps on a later line.
    std::string_view Link(std::string_view text);

    void AppendLink(UrlEntry* link) {
        set_.Append(link);
        ++set_.linkCount;
        describable_ = link;
    }

    // A link spelled as browsers write it that ends on its line, read in one pass: its
    // attributes are taken apart up to their ">", then only its name is searched for "</A>".
    // AnyLink reads such a link the same way; it is left the rest.
    UrlEntry* PlainLink(std::string_view body, std::string_view& rest);

    UrlEntry* AnyLink(std::string_view body, std::string_view& rest);

    // A folder heading: "<H3", its attributes (kept as a link's are), ">", the name, "</H3>".
    // The folder's list is the "<DL>" after it; a heading without one is an empty folder.
    std::string_view Folder(std::string_view text);

    // The title heading: "<H1", attributes, ">", the heading, "</H1>". This program's own
    // "X's Bookmarks" gives the owner X as the title; any other heading is kept whole.
    std::string_view Title(std::string_view text);

    // The document's title: "<TITLE", attributes, ">", the title, "</TITLE>". Kept apart from
    // the heading, which browsers word differently ("Bookmarks" over "Bookmarks Menu").
    std::string_view DocumentTitle(std::string_view text);

    // The encoding a "<META ... CONTENT="text/html; charset=X">" declares; the first one counts.
    void TakeCharset(std::string_view tag);

    // Takes text into the open description up to the next known tag; returns what follows.
    std::string_view Describe(std::string_view text);

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

    // An item that is a link, and one that is a folder, as browsers spell them.
    static constexpr std::string_view kLinkItem = "<DT><A ";
    static constexpr std::string_view kFolderItem = "<DT><H3";
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

}  // namespace tolva
