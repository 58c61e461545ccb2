#include "formats/netscape_link.h"

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <algorithm>
#include <array>
#include <cstring>

#include "formats/format.h"
#include "platform/ascii.h"

namespace tolva::netscape {

namespace {

std::string_view TrimWhite(std::string_view text) {
    text = TrimLeadingWhite(text);
    while (!text.empty() && IsWhite(text.back())) text.remove_suffix(1);
    return text;
}

// Keeps attributes without a value, separated from what comes before by one space.
void AddValueless(std::string& text, std::string_view words) {
    words = TrimWhite(words);
    if (words.empty()) return;
    text += ' ';
    text += words;
}

struct Attribute {
    std::string_view valueless;  // words without a value that stood before the name
    std::string_view name;
    std::string_view value;
};

// Takes the next NAME=VALUE (and any valueless words before it) off the front of rest;
// false when no value is left.
bool NextAttribute(std::string_view& rest, Attribute& out) {
    const std::size_t equals = rest.find('=');
    if (equals == std::string_view::npos) return false;
    // Names are taken without the white space around them, so the two spaces the writer
    // puts before the kept attributes do not become part of a name on the next read.
    out.name = TrimWhite(rest.substr(0, equals));
    // Attributes without a value (iCab's SUBSCRIBE, FOLDED) stand before the next name;
    // they are kept as they are, and the name is the last word, so that an HREF after
    // them is still found.
    std::size_t wordStart = out.name.size();
    while (wordStart > 0 && !IsWhite(out.name[wordStart - 1])) --wordStart;
    out.valueless = TrimWhite(out.name.substr(0, wordStart));
    out.name = out.name.substr(wordStart);
    rest = rest.substr(equals + 1);
    if (!rest.empty() && rest.front() == '"') {
        // A quoted value ends at its closing quote, whatever follows: HREF="a"ADD_DATE="1"
        // is two attributes.
        rest.remove_prefix(1);
        const std::size_t quote = rest.find('"');
        if (quote != std::string_view::npos) {
            out.value = rest.substr(0, quote);
            rest = rest.substr(quote + 1);
        } else {
            // No closing quote (a value holding ">" is cut there): the rest is the value,
            // whole, rather than being taken apart again as attributes.
            out.value = DropBack(rest, 1);
            rest = {};
        }
    } else {
        // An unquoted value runs to the next white space; none of it is lost.
        const std::size_t space = std::min(rest.find_first_of(" \t"), rest.size());
        out.value = rest.substr(0, space);
        rest = rest.substr(space);
    }
    return true;
}

}  // namespace

std::size_t FindAttributesEnd(std::string_view body, bool* balanced) {
    if (balanced) *balanced = true;
    const std::size_t first = body.find('>');
    if (first == std::string_view::npos) return first;
    // Usually no quote is open at the first ">"; only then is the text walked.
    const char* const end = body.data() + first;
    bool open = false;
    for (const char* at = body.data(); (at = static_cast<const char*>(std::memchr(at, '"', end - at))) != nullptr;
         ++at) {
        open = !open;
    }
    if (!open) return first;
    bool quoted = true;
    for (std::size_t i = first + 1; i < body.size(); ++i) {
        if (body[i] == '"') {
            quoted = !quoted;
        } else if (body[i] == '>' && !quoted) {
            return i;
        }
    }
    if (balanced) *balanced = false;
    return first;
}

namespace {

// Bytes that may stand in an attribute name of the plain form ParsePlainLink takes.
constexpr auto kPlainNameBytes = [] {
    std::array<bool, 256> table{};
    for (int c = 0x21; c < 0x100; ++c) table[c] = c != '=' && c != '"' && c != '>' && c != 0x7f;
    return table;
}();

// Compares with one of the attribute names of the header, in any case. Their length is known
// when this is compiled and browsers write them in upper case, so the comparison usually
// takes a few instructions rather than a call. It is made for every attribute.
[[gnu::always_inline]] inline bool IsName(std::string_view text, std::string_view name) {
    return text.size() == name.size() &&
           (std::memcmp(text.data(), name.data(), name.size()) == 0 || EqualsIgnoringAsciiCase(text, name));
}

// The names browsers write on nearly every link, with the "=" after them, in the case they
// write them.
constexpr std::string_view kCommonNames[] = {"HREF=", "ADD_DATE=", "LAST_MODIFIED=", "ICON=", "ICON_URI="};

// Where the attribute name that begins at at ends: a common name is known at a glance,
// any other is taken byte by byte.
const char* NameEnd(const char* at, const char* end) {
    // Unrolled, each comparison has its length fixed and takes a few instructions, not a call.
#pragma GCC unroll 8
    for (std::string_view name : kCommonNames) {
        if (static_cast<std::size_t>(end - at) >= name.size() && std::memcmp(at, name.data(), name.size()) == 0)
            return at + name.size() - 1;
    }
    while (at < end && kPlainNameBytes[static_cast<unsigned char>(*at)]) ++at;
    return at;
}

// The first quote in [from, end), or null. Most values browsers write are dates and short
// numbers: their first sixteen bytes are looked at in place, which costs less than a call;
// memchr takes the rest.
const char* FindQuote(const char* from, const char* end) {
#if defined(__SSE2__)
    if (end - from >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
        const int hits = _mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('"')));
        if (hits != 0) return from + __builtin_ctz(static_cast<unsigned>(hits));
        from += 16;
    }
#endif
    return static_cast<const char*>(std::memchr(from, '"', static_cast<std::size_t>(end - from)));
}

#if defined(__x86_64__)
// FirstLineEndOr 32 bytes at a time, for processors with AVX2: a large file's values (a URL, an
// icon's data of some kilobytes) take half the steps.
[[gnu::target("avx2")]] inline const char* FirstLineEndOrWide(char also, const char* from, const char* end) {
    const __m256i other = _mm256_set1_epi8(also);
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i zero = _mm256_setzero_si256();
    for (; end - from >= 32; from += 32) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
        const __m256i hits =
            _mm256_or_si256(_mm256_or_si256(_mm256_cmpeq_epi8(bytes, other), _mm256_cmpeq_epi8(bytes, lf)),
                            _mm256_or_si256(_mm256_cmpeq_epi8(bytes, cr), _mm256_cmpeq_epi8(bytes, zero)));
        if (const auto mask = static_cast<unsigned>(_mm256_movemask_epi8(hits)); mask != 0)
            return from + __builtin_ctz(mask);
    }
    return FirstLineEndOr(also, from, end);
}
#endif

// The scan ParsePlain makes in a line: wide on processors with AVX2.
template <bool wide>
[[gnu::always_inline]] inline const char* LineEndOr(char also, const char* from, const char* end) {
#if defined(__x86_64__)
    if constexpr (wide) return FirstLineEndOrWide(also, from, end);
#endif
    return FirstLineEndOr(also, from, end);
}

// In text that begins with a link's name and runs on past its line: where the first "</A>" (in
// any case) of that line begins, and where the line ends. False when the name has no "</A>" on
// its line, when anything but white space follows it there, or when the line's end is not in
// text yet. Inlined, so that each build of ParsePlainLinkLine scans the name with its own scan.
template <bool wide>
[[gnu::always_inline]] inline bool LinkEndAndLineEnd(std::string_view text, std::size_t& linkEnd,
                                                     std::size_t& lineEnd) {
    constexpr std::string_view kLinkEnd = "</A>";
    const char* const begin = text.data();
    const char* const last = begin + text.size();
    for (const char* at = begin;; ++at) {
        at = LineEndOr<wide>('<', at, last);
        if (at == last || *at != '<') return false;
        const std::string_view rest(at, static_cast<std::size_t>(last - at));
        if (!EqualsIgnoringAsciiCase(rest.substr(0, kLinkEnd.size()), kLinkEnd)) continue;
        linkEnd = static_cast<std::size_t>(at - begin);
        const char* after = at + kLinkEnd.size();
        while (after < last && (*after == ' ' || *after == '\t' || *after == '\v' || *after == '\f')) ++after;
        lineEnd = static_cast<std::size_t>(after - begin);
        return after < last && (*after == '\n' || *after == '\r' || *after == '\0');
    }
}

// ParsePlainLink and ParsePlainLinkLine: inLine tells that body runs on past the link's line,
// so that a value must end before a line end (no attribute name holds one), the name ends at its
// "</A>" and *lineEnd is set to where the line ends in body. Inlined into each build of its callers.
template <bool inLine, bool wide = false>
[[gnu::always_inline]] inline UrlEntry* ParsePlain(std::string_view body, std::size_t* lineEnd) {
    const char* const begin = body.data();
    const char* const end = begin + body.size();
    std::string_view url;
    std::string_view preservedName;
    std::string_view preservedLocation;
    const char* extraBegin = nullptr;  // the space before the first kept attribute
    const char* extraEnd = nullptr;    // after the last one's closing quote
    bool extraClosed = false;          // another attribute came after the kept ones
    const char* at = begin;
    for (;;) {
        const char* nameBegin = at;
        at = NameEnd(at, end);
        if (at == nameBegin || end - at < 2 || at[0] != '=' || at[1] != '"') return nullptr;
        const std::string_view attributeName(nameBegin, static_cast<std::size_t>(at - nameBegin));
        const char* valueBegin = at + 2;
        const char* quote = inLine ? LineEndOr<wide>('"', valueBegin, end) : FindQuote(valueBegin, end);
        if (quote == nullptr || quote == end || *quote != '"' || quote + 1 == end ||
            (quote[1] != ' ' && quote[1] != '>')) {
            return nullptr;
        }
        const std::string_view value(valueBegin, static_cast<std::size_t>(quote - valueBegin));
        if (IsName(attributeName, kHrefName)) {
            url = value;
        } else if (IsName(attributeName, kPreservedNameName)) {
            preservedName = value;
        } else if (IsName(attributeName, kPreservedLocationName)) {
            preservedLocation = value;
        } else {
            // The first attribute has no space before it in body; ParseLink spells that case.
            if (extraClosed || nameBegin == begin) return nullptr;
            if (extraBegin == nullptr) extraBegin = nameBegin - 1;
            extraEnd = quote + 1;
        }
        if (extraBegin != nullptr && extraEnd != quote + 1) extraClosed = true;
        at = quote + 2;
        if (quote[1] == '>') break;
    }
    std::string_view name(at, static_cast<std::size_t>(end - at));
    if constexpr (inLine) {
        std::size_t linkEnd = 0;
        if (!LinkEndAndLineEnd<wide>(name, linkEnd, *lineEnd)) return nullptr;
        *lineEnd += static_cast<std::size_t>(at - begin);
        name = name.substr(0, linkEnd);
    }
    auto* link = new UrlEntry(UrlEntryKind::Link, EntryText::Borrow(name), EntryText::Borrow(url));
    link->preservedName = EntryText::Borrow(preservedName);
    link->preservedLocation = EntryText::Borrow(preservedLocation);
    if (extraBegin != nullptr) {
        link->extraAttributes =
            EntryText::Borrow(std::string_view(extraBegin, static_cast<std::size_t>(extraEnd - extraBegin)));
    }
    return link;
}

}  // namespace

UrlEntry* ParsePlainLink(std::string_view body) { return ParsePlain<false>(body, nullptr); }

#if defined(__x86_64__)
namespace {

// ParsePlainLinkLine on a processor with AVX2, where its scans take 32 bytes a step.
[[gnu::target("avx2"), gnu::flatten]] UrlEntry* ParsePlainLinkLineWide(std::string_view body, std::size_t& lineEnd) {
    return ParsePlain<true, true>(body, &lineEnd);
}

}  // namespace
#endif

UrlEntry* ParsePlainLinkLineBaseline(std::string_view body, std::size_t& lineEnd) {
    return ParsePlain<true>(body, &lineEnd);
}

UrlEntry* ParsePlainLinkLine(std::string_view body, std::size_t& lineEnd) {
#if defined(__x86_64__)
    // Chosen once, by what the processor has; both give the same entry.
    static const auto parse = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") ? &ParsePlainLinkLineWide : &ParsePlainLinkLineBaseline;
    }();
    return parse(body, lineEnd);
#else
    return ParsePlainLinkLineBaseline(body, lineEnd);
#endif
}

UrlEntry* ParseAnyLink(std::string_view body, bool borrow, LinkScratch& buffers) {
    std::string& scratch = buffers.attributes;
    std::string& extra = buffers.kept;
    std::size_t close = FindAttributesEnd(body);
    std::string_view name = close == std::string_view::npos ? body : body.substr(close + 1);
    // The attribute text always ends in a space, so the last value's closing quote is
    // followed by one like every other.
    scratch.assign(close == std::string_view::npos ? std::string_view() : body.substr(0, close));
    scratch += ' ';
    // Every value lies at the same offset in body as in scratch.
    auto inBody = [&](std::string_view part) {
        return std::string_view(body.data() + (part.data() - scratch.data()), part.size());
    };
    auto* link = new UrlEntry(UrlEntryKind::Link, EntryText::BorrowIf(borrow, name));

    // The kept attributes are respelled as the writer spells them. Where that spelling is the
    // file's own, as browsers write it, the link borrows it from the file; extraFrom is where
    // it would begin there: at the white space before the first kept word.
    extra.clear();
    constexpr std::size_t kNowhere = std::string_view::npos;
    std::size_t extraFrom = kNowhere;
    auto startExtra = [&](std::string_view word) {
        const auto offset = static_cast<std::size_t>(word.data() - scratch.data());
        if (extraFrom == kNowhere && offset > 0) extraFrom = offset - 1;
    };
    std::string_view rest = scratch;
    for (Attribute attribute; NextAttribute(rest, attribute);) {
        if (!attribute.valueless.empty()) startExtra(attribute.valueless);
        AddValueless(extra, attribute.valueless);
        if (IsName(attribute.name, kHrefName)) {
            link->url = EntryText::BorrowIf(borrow, inBody(attribute.value));
        } else if (IsName(attribute.name, kPreservedNameName)) {
            link->preservedName = EntryText::BorrowIf(borrow, inBody(attribute.value));
        } else if (IsName(attribute.name, kPreservedLocationName)) {
            link->preservedLocation = EntryText::BorrowIf(borrow, inBody(attribute.value));
        } else {
            if (!attribute.name.empty()) startExtra(attribute.name);
            AddAttribute(extra, attribute.name, attribute.value);
        }
    }
    std::string_view valueless = TrimWhite(rest);
    if (!valueless.empty()) startExtra(valueless);
    AddValueless(extra, valueless);

    if (!extra.empty()) {
        const bool asInFile = borrow && extraFrom != kNowhere && body.substr(extraFrom, extra.size()) == extra;
        link->extraAttributes =
            asInFile ? EntryText::Borrow(body.substr(extraFrom, extra.size())) : EntryText(std::string_view(extra));
    }
    return link;
}

bool FindAttribute(std::string_view attributes, std::string_view attributeName, AttributeSpan& span) {
    // A text shorter than the name and its "=" holds neither.
    if (attributes.size() <= attributeName.size()) return false;
    bool quoted = false;
    for (std::size_t at = 0; at < attributes.size(); ++at) {
        if (attributes[at] == '"') quoted = !quoted;
        if (quoted || (at > 0 && !IsWhite(attributes[at - 1])) ||
            !EqualsIgnoringAsciiCase(attributes.substr(at, attributeName.size()), attributeName)) {
            continue;
        }
        const std::size_t equals = at + attributeName.size();
        if (equals >= attributes.size() || attributes[equals] != '=') continue;
        std::size_t from = equals + 1;
        std::size_t to = 0;
        if (from < attributes.size() && attributes[from] == '"') {
            ++from;
            to = std::min(attributes.find('"', from), attributes.size());
            span.end = std::min(to + 1, attributes.size());
        } else {
            to = std::min(attributes.find_first_of(" \t", from), attributes.size());
            span.end = to;
        }
        span.value = attributes.substr(from, to - from);
        span.begin = at;
        while (span.begin > 0 && IsWhite(attributes[span.begin - 1])) --span.begin;
        return true;
    }
    return false;
}

FolderMark MarkOfAttributes(std::string_view attributes) {
    for (const MarkSpelling& spelling : kMarkSpellings) {
        AttributeSpan span;
        if (FindAttribute(attributes, spelling.attributeName, span) && EqualsIgnoringAsciiCase(span.value, "true"))
            return spelling.mark;
    }
    return FolderMark::None;
}

UrlEntry* ParseLink(std::string_view body, bool borrow, LinkScratch& scratch) {
    if (borrow) {
        if (UrlEntry* link = ParsePlainLink(body)) return link;
    }
    return ParseAnyLink(body, borrow, scratch);
}

}  // namespace tolva::netscape
