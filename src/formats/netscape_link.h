#pragma once
// Taking a link of a Netscape bookmark file apart, and the spelling both the reader and the
// writer use. The reader reads nearly every link the quick way, ParsePlainLink; ParseAnyLink
// reads any link at all. Both are here so that tests can hold the one to the other.

#include <string>
#include <string_view>

#include "model/url_set.h"

namespace tolva::netscape {

constexpr std::string_view kHrefName = "HREF";
constexpr std::string_view kPreservedNameName = "PRE_VFY_NAME";
constexpr std::string_view kPreservedLocationName = "PRE_VFY_LOC";

// Drops count characters from the front or the back; dropping more than there is leaves nothing.
inline std::string_view DropFront(std::string_view text, std::size_t count) {
    return count >= text.size() ? std::string_view() : text.substr(count);
}
inline std::string_view DropBack(std::string_view text, std::size_t count) {
    return count >= text.size() ? std::string_view() : text.substr(0, text.size() - count);
}

// Adds one attribute as the writer spells it: a space, the name, "=" and the value in quotes.
template <class Text>
void AddAttribute(Text& text, std::string_view attributeName, std::string_view value) {
    text += ' ';
    text += attributeName;
    text += "=\"";
    text += value;
    text += '"';
}

// The ">" that ends a tag's attributes in text: the first one outside a quoted value, so that
// a bookmarklet such as "javascript:if(a>b)..." keeps its URL and the link its name. When a
// quote never closes, *balanced is set false and the first ">" of all is taken; npos when
// text has no ">".
std::size_t FindAttributesEnd(std::string_view text, bool* balanced = nullptr);

// A folder's mark as a bookmark file spells it: an attribute of its heading whose value is "true".
struct MarkSpelling {
    FolderMark mark;
    std::string_view attributeName;
};
inline constexpr MarkSpelling kMarkSpellings[] = {
    {FolderMark::Toolbar, "PERSONAL_TOOLBAR_FOLDER"},
    {FolderMark::Unfiled, "UNFILED_BOOKMARKS_FOLDER"},
};

// Where an attribute stands in a kept-attribute text: from the white space before its name
// to the end of its value.
struct AttributeSpan {
    std::size_t begin = 0;
    std::size_t end = 0;
    std::string_view value;
};
// Finds the attribute called attributeName (in any case) outside quoted values; false when
// attributes has none.
bool FindAttribute(std::string_view attributes, std::string_view attributeName, AttributeSpan& span);
// The mark a folder's kept attributes give it.
FolderMark MarkOfAttributes(std::string_view attributes);

// Buffers ParseAnyLink reuses from link to link.
struct LinkScratch {
    std::string attributes;
    std::string kept;
};

// Takes a link apart. body is the link without its "<DT><A " and without "</A>" and what
// follows it: attributes, ">", the name. When borrow is set, body lies in the file the set
// keeps and the link's fields refer to it instead of copying it. The caller owns the link.
UrlEntry* ParseLink(std::string_view body, bool borrow, LinkScratch& scratch);

// The quick way, for the spelling browsers write: NAME="VALUE" NAME="VALUE">TEXT, single
// spaces, every value quoted and free of quotes, the kept attributes side by side. It
// borrows every field from body. Returns null for any other spelling. Attribute names are
// told apart in any case, as HTML does.
UrlEntry* ParsePlainLink(std::string_view body);
// The same for a line that is one such link and nothing else but white space after its "</A>",
// not yet cut from what follows it in the file: body runs on past the line's end, which
// lineEnd is set to (a LF, CR or zero byte in body). The attributes are read as ParsePlainLink
// reads them in the line alone, null alike; the name ends at its "</A>". Null also when the
// line holds anything more or its end is not in body yet.
UrlEntry* ParsePlainLinkLine(std::string_view body, std::size_t& lineEnd);
// ParsePlainLinkLine as it runs on a processor without AVX2, whatever this one has (for tests
// that compare the two).
UrlEntry* ParsePlainLinkLineBaseline(std::string_view body, std::size_t& lineEnd);
// The general way, for any spelling.
UrlEntry* ParseAnyLink(std::string_view body, bool borrow, LinkScratch& scratch);

}  // namespace tolva::netscape
