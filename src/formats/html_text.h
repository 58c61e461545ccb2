#pragma once
// The text of a Netscape bookmark file is HTML: names and URLs hold character references
// ("AT&amp;T", "What&#39;s On") and are in the encoding the file declares. Text leaving the
// format (for file names, shortcut files, hotlists, the URL a verification requests) is made
// plain UTF-8; text entering it is escaped. Text that stays in the format is never touched,
// so a bookmark file rewritten in its own format keeps its bytes.

#include <string>
#include <string_view>

namespace tolva {

// Replaces every character reference ("&amp;", "&#39;", "&#x263A;") by its character in
// UTF-8. An "&" that begins no reference (a raw ampersand, as many exports write them in
// URLs) stays as it is.
std::string DecodeCharacterReferences(std::string_view text);

// Plain UTF-8 text of html, which is in the encoding charset names (empty when the file
// declared none): converted to UTF-8, then its references decoded.
std::string PlainFromHtml(std::string_view html, std::string_view charset);

// HTML text of plain text: "&", "<", ">" and '"' escaped, so that no name or URL can end the
// attribute or the tag it is written into, or begin a tag of its own.
std::string HtmlFromPlain(std::string_view text);
// Whether HtmlFromPlain changes text: most names and URLs hold none of the four characters.
bool NeedsHtmlEscaping(std::string_view text);

}  // namespace tolva
