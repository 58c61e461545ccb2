#include "platform/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/ascii.h"

namespace tolva {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
constexpr std::string_view kFallbackCharset = "WINDOWS-1252";

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
std::size_t Utf8SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned min = 0;
    unsigned code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

// Valid UTF-8 with every ill-formed byte replaced.
std::string RepairedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0) {
            out += kReplacement;
            text.remove_prefix(1);
        } else {
            out.append(text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

// The converter's name for a label as web pages write it. Web browsers read Latin-1 and ASCII
// as windows-1252, and Mac exports name the Mac's own encoding in several ways.
std::string ConverterName(std::string_view label) {
    std::string lower = LowerAscii(std::string(label));
    if (lower == "iso-8859-1" || lower == "latin1" || lower == "iso8859-1" || lower == "us-ascii" || lower == "ascii" ||
        lower == "x-user-defined") {
        return std::string(kFallbackCharset);
    }
    if (lower == "x-mac-roman" || lower == "x-mac-system" || lower == "mac" || lower == "macintosh" ||
        lower == "macroman") {
        return "MACINTOSH";
    }
    return lower;
}

bool IsUtf8Label(std::string_view label) {
    return EqualsIgnoringAsciiCase(label, "utf-8") || EqualsIgnoringAsciiCase(label, "utf8");
}

// One iconv conversion descriptor, closed when it goes.
class Converter {
public:
    Converter(const char* to, const char* from) : converter_(::iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) ::iconv_close(converter_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // iconv_open reports failure as the value (iconv_t)-1, so the cast is its interface.
    bool Valid() const { return converter_ != reinterpret_cast<iconv_t>(-1); }  // NOLINT(performance-no-int-to-ptr)

    // Converts text into out. A byte that has no character, a sequence cut short or a character
    // the target lacks becomes U+FFFD with replace, and makes the conversion fail without.
    bool Run(std::string_view text, bool replace, std::string& out) {
        out.clear();
        out.reserve(text.size() * 2);
        char* in = const_cast<char*>(text.data());  // iconv's interface is not const-correct
        std::size_t inLeft = text.size();
        char block[4096];
        // The last call, with no input, ends a shift state (UTF-7's open base64 run).
        for (bool flushing = false;; flushing = inLeft == 0) {
            char* put = block;
            std::size_t putLeft = sizeof block;
            const std::size_t done = flushing ? ::iconv(converter_, nullptr, nullptr, &put, &putLeft)
                                              : ::iconv(converter_, &in, &inLeft, &put, &putLeft);
            out.append(block, static_cast<std::size_t>(put - block));
            if (done == kIconvError && errno != E2BIG) {
                if (!replace) return false;
                if (inLeft == 0) return true;  // a shift state that would not end: what came is kept
                out += kReplacement;
                ++in;
                --inLeft;
                ::iconv(converter_, nullptr, nullptr, nullptr, nullptr);
                continue;
            }
            if (flushing && done != kIconvError) return true;
        }
    }

private:
    static constexpr std::size_t kIconvError = static_cast<std::size_t>(-1);
    iconv_t converter_;
};

// Converts to UTF-8 with replacement; false when the converter does not know the encoding.
bool Convert(std::string_view text, const std::string& from, std::string& out) {
    Converter converter("UTF-8", from.c_str());
    return converter.Valid() && converter.Run(text, true, out);
}

}  // namespace

bool IsValidUtf8(std::string_view text) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    while (!text.empty()) {
        // ASCII, by far the most common, goes eight bytes at a time without the full check.
        if (std::uint64_t word = 0; text.size() >= sizeof word) {
            std::memcpy(&word, text.data(), sizeof word);
            if ((word & kHighBits) == 0) {
                text.remove_prefix(sizeof word);
                continue;
            }
        }
        if (static_cast<unsigned char>(text[0]) < 0x80) {
            text.remove_prefix(1);
            continue;
        }
        const std::size_t length = Utf8SequenceLength(text);
        if (length == 0) return false;
        text.remove_prefix(length);
    }
    return true;
}

void AppendCodePoint(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::string ToUtf8(std::string_view text, std::string_view charset) {
    if (IsValidUtf8(text) && (charset.empty() || IsUtf8Label(charset))) return std::string(text);
    if (IsAscii(text)) return std::string(text);
    if (IsUtf8Label(charset)) return RepairedUtf8(text);
    std::string out;
    if (!charset.empty() && Convert(text, ConverterName(charset), out)) return out;
    if (Convert(text, std::string(kFallbackCharset), out)) return out;
    return RepairedUtf8(text);
}

bool Recode(std::string_view text, const char* from, const char* to, std::string& out) {
    Converter converter(to, from);
    return converter.Valid() && converter.Run(text, false, out);
}

bool IsAscii(std::string_view text) {
    return std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

std::string CutAtCharacter(std::string text, std::size_t limit) {
    if (text.size() <= limit) return text;
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    return text;
}

}  // namespace tolva
