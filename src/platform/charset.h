#pragma once
// Text encodings, through the C library's iconv. Bookmark files name their encoding as web
// pages do ("windows-1251", "iso-8859-1", "x-mac-roman"); ToUtf8 maps those labels to the
// converter's names and never fails. Shortcut and desktop.ini files hold the Unicode encodings
// Windows writes (UTF-16 files, UTF-7 values); Recode converts those exactly or not at all, so
// that a file is never rewritten with damaged bytes.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tolva {

// Whether text is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

// Appends the UTF-8 form of code, a Unicode scalar value (not a surrogate, at most U+10FFFF).
void AppendCodePoint(std::string& out, std::uint32_t code);

// text, in the encoding charset names, as UTF-8. An empty charset or a UTF-8 label means
// UTF-8: valid text stays as it is. Bytes that cannot be converted become U+FFFD, so the
// result is always valid UTF-8. Text whose charset is unknown, or empty while the text is not
// valid UTF-8, is taken as windows-1252, the code page most old exports were written in.
std::string ToUtf8(std::string_view text, std::string_view charset);

// text in the encoding from, as the encoding to (iconv's names: "UTF-8", "UTF-16LE",
// "UTF-16BE", "UTF-7"). False, with out unspecified, when text is not valid in from or a
// character has no form in to.
bool Recode(std::string_view text, const char* from, const char* to, std::string& out);

// Whether text is made of 7-bit characters only.
bool IsAscii(std::string_view text);

// text cut to at most limit bytes without splitting a UTF-8 character.
std::string CutAtCharacter(std::string text, std::size_t limit);

}  // namespace tolva
