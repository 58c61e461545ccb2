#pragma once
// Exact conversions between the Unicode encodings that Windows writes into shortcut and
// desktop.ini files (UTF-16 files, UTF-7 values) and the UTF-8 the program works in. Unlike
// the conversion of a bookmark file's charset, these never replace a character: text that does
// not convert exactly is refused, so that a file is never rewritten with damaged bytes.

#include <string>
#include <string_view>

namespace tolva {

// text in the encoding from, as the encoding to (iconv's names: "UTF-8", "UTF-16LE",
// "UTF-16BE", "UTF-7"). False, with out unspecified, when text is not valid in from or a
// character has no form in to.
bool Recode(std::string_view text, const char* from, const char* to, std::string& out);

// Whether text is made of 7-bit characters only.
bool IsAscii(std::string_view text);

}  // namespace tolva
