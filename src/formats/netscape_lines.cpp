#include "formats/netscape_lines.h"

#include <algorithm>
#include <iterator>

#include "platform/ascii.h"

namespace tolva {

namespace {

constexpr std::string_view kLinkEnd = "</A>";
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

// What follows the tag text begins with; nothing when the tag does not end on its line.
std::string_view AfterTag(std::string_view text) {
    const std::size_t close = text.find('>');
    return close == std::string_view::npos ? std::string_view() : text.substr(close + 1);
}

}  // namespace

bool NetscapeReader::BeginsItemLine(std::string_view text) {
    text.remove_prefix(std::min(text.find_first_not_of(" \t"), text.size()));
    return StartsWith(text, kLinkItem) || StartsWith(text, kFolderItem);
}

void NetscapeReader::ReadLine(std::string_view line) {
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

bool NetscapeReader::Item(std::string_view& text) {
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

std::size_t NetscapeReader::AttributesEnd(std::string_view text) {
    if (!quotesMayClose_) return text.find('>');
    bool balanced = true;
    const std::size_t end = netscape::FindAttributesEnd(text, &balanced);
    quotesMayClose_ = balanced;
    return end;
}

std::string_view NetscapeReader::Link(std::string_view text) {
    std::string_view body = text.substr(2);
    if (!body.empty() && IsWhite(body.front())) body.remove_prefix(1);
    std::string_view rest;
    UrlEntry* link = quotesMayClose_ ? PlainLink(body, rest) : nullptr;
    if (link == nullptr) link = AnyLink(body, rest);
    AppendLink(link);
    return rest;
}

UrlEntry* NetscapeReader::PlainLink(std::string_view body, std::string_view& rest) {
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

UrlEntry* NetscapeReader::AnyLink(std::string_view body, std::string_view& rest) {
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

std::string_view NetscapeReader::Folder(std::string_view text) {
    const std::string_view body = text.substr(3);
    const std::size_t attributesEnd = AttributesEnd(body);
    const std::size_t nameFrom = attributesEnd == std::string_view::npos ? 0 : attributesEnd + 1;
    const std::size_t end = FindIgnoringCase(body, kFolderEnd, nameFrom);
    const std::string_view heading = body.substr(0, end);
    std::string_view rest = end == std::string_view::npos ? std::string_view() : body.substr(end + kFolderEnd.size());
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

std::string_view NetscapeReader::Title(std::string_view text) {
    const std::string_view body = text.substr(3);
    const std::size_t attributesEnd = body.find('>');
    const std::size_t from = attributesEnd == std::string_view::npos ? body.size() : attributesEnd + 1;
    const std::size_t end = FindIgnoringCase(body, kTitleEnd, from);
    tookHeading_ = true;
    TakeHeading(set_, body.substr(from, end == std::string_view::npos ? end : end - from));
    return end == std::string_view::npos ? std::string_view() : body.substr(end + kTitleEnd.size());
}

std::string_view NetscapeReader::DocumentTitle(std::string_view text) {
    const std::string_view body = text.substr(6);
    const std::size_t attributesEnd = body.find('>');
    if (attributesEnd == std::string_view::npos) return {};
    const std::size_t end = FindIgnoringCase(body, kDocumentTitleEnd, attributesEnd + 1);
    tookDocumentTitle_ = true;
    set_.documentTitle.assign(
        body.substr(attributesEnd + 1, end == std::string_view::npos ? end : end - attributesEnd - 1));
    return end == std::string_view::npos ? std::string_view() : body.substr(end + kDocumentTitleEnd.size());
}

void NetscapeReader::TakeCharset(std::string_view tag) {
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

std::string_view NetscapeReader::Describe(std::string_view text) {
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

}  // namespace tolva
