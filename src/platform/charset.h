#pragma once
// Converting text in a named character encoding to UTF-8, through the C library's iconv.
// Bookmark files name their encoding as web pages do ("windows-1251", "iso-8859-1",
// "x-mac-roman"); this maps those labels to the converter's names.

#include <string>
#include <string_view>

namespace tolva {

// Whether text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// text, in the encoding charset names, as UTF-8. An empty charset or a UTF-8 label means
// UTF-8: valid text stays as it is. Bytes that cannot be converted become U+FFFD, so the
// result is always valid UTF-8. Text whose charset is unknown, or empty while the text is not
// valid UTF-8, is taken as windows-1252, the code page most old exports were written in.
std::string ToUtf8(std::string_view text, std::string_view charset);

}  // namespace tolva
