#pragma once
// Case folding of ASCII letters only, as Windows compares profile names, registry keys and
// file names: bytes outside A-Z and a-z (UTF-8 text among them) are never changed, so the
// result does not depend on the locale.

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace tolva {

constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

inline std::string LowerAscii(std::string text) {
    for (char& c : text) c = LowerAscii(c);
    return text;
}

constexpr bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    // Most texts compared are spelled in the case looked for: only bytes that differ are folded.
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i] && LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    }
    return true;
}

// Orders a and b by their bytes in upper case, unsigned, a shorter text before a longer one
// it begins: negative, zero or positive. Folding to upper case, not lower, is what puts "_"
// after the letters, as NTFS orders names.
constexpr int CompareIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const auto x = static_cast<unsigned char>(UpperAscii(a[i]));
        const auto y = static_cast<unsigned char>(UpperAscii(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    return 0;
}

}  // namespace tolva
