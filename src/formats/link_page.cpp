#include "formats/link_page.h"

#include <string>
#include <string_view>

#include "formats/format.h"
#include "formats/html_text.h"
#include "formats/set_storage.h"
#include "formats/store_fields.h"
#include "platform/ascii.h"
#include "resources/strings.h"

namespace tolva {

namespace {

constexpr std::string_view kLinkEnd = "</a>";
// A page's own names for what a bookmark file calls ADD_DATE and TAGS.
constexpr std::string_view kTimeAdded = "time_added";

constexpr auto npos = std::string_view::npos;

// Where the next "<a" followed by white space stands in text from from on, in any case.
std::size_t FindAnchor(std::string_view text, std::size_t from) {
    for (std::size_t at = text.find('<', from); at != npos; at = text.find('<', at + 1)) {
        if (at + 2 < text.size() && (text[at + 1] == 'a' || text[at + 1] == 'A') && IsWhite(text[at + 2])) return at;
    }
    return npos;
}

std::size_t FindIgnoringCase(std::string_view text, std::string_view part, std::size_t from) {
    for (std::size_t at = text.find('<', from); at != npos; at = text.find('<', at + 1)) {
        if (EqualsIgnoringAsciiCase(text.substr(at, part.size()), part)) return at;
    }
    return npos;
}

// A link's name as the page shows it: the markup inside it (an image, emphasis) left out, its
// line breaks and runs of white space one space. It stays HTML text, entities and all.
std::string NameOf(std::string_view html) {
    std::string name;
    bool inTag = false;
    bool space = false;
    for (char c : html) {
        if (inTag) {
            inTag = c != '>';
        } else if (c == '<') {
            inTag = true;
        } else if (IsWhite(c) || c == '\0') {
            space = !name.empty();
        } else {
            if (space) name += ' ';
            space = false;
            name += c;
        }
    }
    return name;
}

// A link as the page spells it: its URL, and the attributes a bookmark can carry under a
// bookmark file's names; a page's other attributes (a class, a target) say nothing about the
// link and are left behind.
struct Anchor {
    std::string url;
    bool hasUrl = false;
    std::string kept;
};

// A URL stays one item of a bookmark file: the line breaks and tabs a page may break it with
// are dropped (as browsers drop them), and a quote is percent-encoded.
std::string UrlOf(std::string_view value) {
    std::string url;
    for (char c : value) {
        if (c == '"') {
            url += "%22";
        } else if (c != '\r' && c != '\n' && c != '\t' && c != '\0') {
            url += c;
        }
    }
    return url;
}

void TakeAttribute(std::string_view name, std::string_view value, Anchor& anchor) {
    if (EqualsIgnoringAsciiCase(name, "href")) {
        anchor.url = UrlOf(value);
        anchor.hasUrl = true;
    } else if (EqualsIgnoringAsciiCase(name, kTimeAdded) || EqualsIgnoringAsciiCase(name, store::kAddDate)) {
        store::AddKeptAttribute(anchor.kept, store::kAddDate, DecodeCharacterReferences(value));
    } else if (EqualsIgnoringAsciiCase(name, store::kTags)) {
        store::AddKeptAttribute(anchor.kept, store::kTags, DecodeCharacterReferences(value));
    }
}

// Reads the attributes of a tag as HTML spells them (values in double or single quotes or
// none, over as many lines as they take) from just after the tag's name; returns where the
// ">" that ends them stands, or npos.
std::size_t ReadAttributes(std::string_view text, Anchor& anchor) {
    std::size_t at = 0;
    const auto skipWhite = [&] {
        while (at < text.size() && IsWhite(text[at])) ++at;
    };
    while (at < text.size()) {
        if (text[at] == '>') return at;
        if (IsWhite(text[at]) || text[at] == '/') {
            ++at;
            continue;
        }
        const std::size_t nameFrom = at;
        while (at < text.size() && !IsWhite(text[at]) && text[at] != '=' && text[at] != '>') ++at;
        const std::string_view name = text.substr(nameFrom, at - nameFrom);
        skipWhite();
        std::string_view value;
        if (at < text.size() && text[at] == '=') {
            ++at;
            skipWhite();
            if (at < text.size() && (text[at] == '"' || text[at] == '\'')) {
                const std::size_t close = text.find(text[at], at + 1);
                if (close == npos) return npos;
                value = text.substr(at + 1, close - at - 1);
                at = close + 1;
            } else {
                const std::size_t valueFrom = at;
                while (at < text.size() && !IsWhite(text[at]) && text[at] != '>') ++at;
                value = text.substr(valueFrom, at - valueFrom);
            }
        }
        TakeAttribute(name, value, anchor);
    }
    return npos;
}

// A link the page points into itself with ("#top") or without a URL is no bookmark.
bool IsBookmark(const Anchor& anchor) { return anchor.hasUrl && !anchor.url.empty() && anchor.url.front() != '#'; }

}  // namespace

int ReadLinkPage(SetStorage& storage, TextControl* statusText) {
    UrlSet& set = storage.Set();
    std::string_view text;
    if (!storage.TakeRest(text)) return 0;
    set.heading.clear();
    set.documentTitle.clear();
    set.charset.clear();
    for (std::size_t at = FindAnchor(text, 0); at != npos; at = FindAnchor(text, at + 1)) {
        const std::string_view body = text.substr(at + 3);
        Anchor anchor;
        const std::size_t attributesEnd = ReadAttributes(body, anchor);
        if (attributesEnd == npos) break;
        // The name ends at "</a>", looked for no further than the next link so that no part of
        // a page whose links are never closed is searched twice.
        const std::size_t nextAnchor = FindAnchor(body, attributesEnd + 1);
        const std::size_t end = FindIgnoringCase(body.substr(0, nextAnchor), kLinkEnd, attributesEnd + 1);
        at += 3 + (end != npos ? end : attributesEnd);
        if (!IsBookmark(anchor)) continue;
        const std::string_view nameHtml = body.substr(attributesEnd + 1, end == npos ? 0 : end - attributesEnd - 1);
        auto* link = new UrlEntry(UrlEntryKind::Link, NameOf(nameHtml));
        link->url = anchor.url;
        // Kept as a bookmark file's reader keeps them: without the space before the first.
        link->extraAttributes = std::string_view(anchor.kept).substr(anchor.kept.empty() ? 0 : 1);
        set.Append(link);
        ++set.linkCount;
    }
    set.SetCursor(nullptr);
    if (statusText) statusText->SetText(LoadString(IDS_STATUS_LINK_PAGE_LOADED));
    return 1;
}

}  // namespace tolva
