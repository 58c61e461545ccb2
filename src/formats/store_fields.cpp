#include "formats/store_fields.h"

#include <charconv>
#include <cstdio>

#include "formats/html_text.h"

namespace tolva::store {

namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::int64_t kChromiumEpochOffset = 11644473600;
constexpr std::int64_t kMicroseconds = 1000000;
constexpr std::int64_t kSecondsPerDay = 86400;

void AppendEscaped(std::string& out, std::string_view value) { out += HtmlFromPlain(value); }

std::string Unescaped(std::string_view value) {
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&quot;", '"'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&#39;", '\''}};
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        bool replaced = false;
        if (value[i] == '&') {
            for (const auto& [entity, c] : kEntities) {
                if (value.substr(i, entity.size()) == entity) {
                    out += c;
                    i += entity.size() - 1;
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) out += value[i];
    }
    return out;
}

// One NAME="value" pair of an attribute text: its name without the spaces around it, its value
// as spelled, and where the pair ends (the next search starts there).
struct RawAttribute {
    std::string_view name;
    std::string_view value;
    std::size_t end = 0;
};

bool NextRawAttribute(std::string_view attributes, RawAttribute& found) {
    const std::size_t equals = attributes.find("=\"", found.end);
    if (equals == std::string_view::npos) return false;
    const std::size_t close = attributes.find('"', equals + 2);
    if (close == std::string_view::npos) return false;
    std::string_view name = attributes.substr(found.end, equals - found.end);
    while (!name.empty() && (name.front() == ' ' || name.front() == '\t')) name.remove_prefix(1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.remove_suffix(1);
    found.name = name;
    found.value = attributes.substr(equals + 2, close - equals - 2);
    found.end = close + 1;
    return true;
}

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

// Reads exactly count digits at text[at].
bool Digits(std::string_view text, std::size_t at, std::size_t count, unsigned& value) {
    if (at + count > text.size()) return false;
    value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + static_cast<unsigned>(text[i] - '0');
    }
    return true;
}

// The length of the valid UTF-8 sequence at text[at], or 0.
std::size_t Utf8Length(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    std::size_t length = 0;
    unsigned min = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    unsigned code = lead & (0x7F >> length);
    for (std::size_t i = at + 1; i < at + length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = (code << 6) | (byte(i) & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    // U+FFFE and U+FFFF are no characters of XML.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF || code == 0xFFFE || code == 0xFFFF)
        return 0;
    return length;
}

}  // namespace

void AddKeptAttribute(std::string& attributes, std::string_view name, std::string_view value) {
    attributes += ' ';
    attributes += name;
    attributes += "=\"";
    AppendEscaped(attributes, value);
    attributes += '"';
}

std::vector<std::pair<std::string, std::string>> KeptAttributes(std::string_view attributes) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (RawAttribute found; NextRawAttribute(attributes, found);) {
        if (!found.name.empty()) pairs.emplace_back(std::string(found.name), Unescaped(found.value));
    }
    return pairs;
}

std::optional<std::string> FindKeptAttribute(std::string_view attributes, std::string_view name) {
    // Only the value asked for is unescaped: the others (an icon's data can be kilobytes) are
    // passed over as they are spelled.
    for (RawAttribute found; NextRawAttribute(attributes, found);) {
        if (found.name == name) return Unescaped(found.value);
    }
    return std::nullopt;
}

std::string WithoutKeptAttribute(std::string_view attributes, std::string_view name) {
    std::string kept;
    RawAttribute found;
    std::size_t from = 0;
    while (NextRawAttribute(attributes, found)) {
        if (found.name != name) kept += attributes.substr(from, found.end - from);
        from = found.end;
    }
    kept += attributes.substr(from);
    return kept;
}

void SetKeptAttribute(std::string& attributes, std::string_view name, std::string_view value) {
    for (RawAttribute found; NextRawAttribute(attributes, found);) {
        if (found.name != name) continue;
        const auto at = static_cast<std::size_t>(found.value.data() - attributes.data());
        attributes.replace(at, found.value.size(), HtmlFromPlain(value));
        return;
    }
    AddKeptAttribute(attributes, name, value);
}

std::optional<std::int64_t> ParseSeconds(std::string_view text) {
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::string IsoDate(std::int64_t seconds) {
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t rest = seconds % kSecondsPerDay;
    if (rest < 0) {
        rest += kSecondsPerDay;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, year, month, day);
    char text[48];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02dZ", static_cast<long long>(year), month, day,
                  static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text;
}

std::optional<std::int64_t> ParseIsoDate(std::string_view text) {
    // YYYY-MM-DD, optionally THH:MM[:SS[.fraction]] and Z or +HH:MM / -HH:MM.
    unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || text.size() < 10 || text[4] != '-' || !Digits(text, 5, 2, month) ||
        text[7] != '-' || !Digits(text, 8, 2, day) || month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    std::size_t at = 10;
    if (at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
        if (!Digits(text, at + 1, 2, hour) || at + 3 >= text.size() || text[at + 3] != ':' ||
            !Digits(text, at + 4, 2, minute))
            return std::nullopt;
        at += 6;
        if (at < text.size() && text[at] == ':') {
            if (!Digits(text, at + 1, 2, second)) return std::nullopt;
            at += 3;
        }
        if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
            ++at;
            while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        }
    }
    std::int64_t offset = 0;
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        unsigned offsetHours = 0, offsetMinutes = 0;
        if (!Digits(text, at + 1, 2, offsetHours)) return std::nullopt;
        std::size_t minutesAt = at + 3 < text.size() && text[at + 3] == ':' ? at + 4 : at + 3;
        if (minutesAt < text.size() && !Digits(text, minutesAt, 2, offsetMinutes)) return std::nullopt;
        offset = (text[at] == '-' ? -1 : 1) * (static_cast<std::int64_t>(offsetHours) * 3600 + offsetMinutes * 60);
        at = minutesAt < text.size() ? minutesAt + 2 : text.size();
    }
    if (at != text.size() || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    return DaysFromCivil(year, month, day) * kSecondsPerDay + hour * 3600 + minute * 60 + second - offset;
}

std::int64_t SecondsFromChromium(std::int64_t microseconds) {
    return microseconds / kMicroseconds - kChromiumEpochOffset;
}

std::int64_t ChromiumFromSeconds(std::int64_t seconds) { return (seconds + kChromiumEpochOffset) * kMicroseconds; }

void AppendUtf8(std::string& out, std::string_view text, bool keepLineFeeds) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            const bool kept = byte >= 0x20 || byte == '\t' || (keepLineFeeds && byte == '\n');
            out += kept && byte != 0x7F ? static_cast<char>(byte) : ' ';
            ++i;
            continue;
        }
        if (std::size_t length = Utf8Length(text, i); length != 0) {
            out.append(text.substr(i, length));
            i += length;
            continue;
        }
        out += static_cast<char>(0xC0 | (byte >> 6));
        out += static_cast<char>(0x80 | (byte & 0x3F));
        ++i;
    }
}

namespace {

// Whether AppendJsonString writes text as it stands: valid UTF-8 with no control character,
// quote or backslash, as nearly every name and URL is.
bool JsonAsItStands(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F || byte == '"' || byte == '\\') return false;
            ++i;
            continue;
        }
        const std::size_t length = Utf8Length(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    if (JsonAsItStands(text)) {
        out += text;
    } else {
        std::string valid;
        AppendUtf8(valid, text);
        for (char c : valid) {
            if (c == '"' || c == '\\') out += '\\';
            out += c == '\t' ? ' ' : c;
        }
    }
    out += '"';
}

}  // namespace tolva::store
