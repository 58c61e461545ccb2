#include "platform/report_fields.h"

#include <cstdio>

#include "platform/ascii.h"

namespace tolva {

namespace {

// The length of the UTF-8 sequence that starts text at i, or 0 when the bytes there are not
// one: sets saved on Windows may hold Windows-1252 names.
std::size_t Utf8Length(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    std::size_t length = lead < 0x80           ? 1
                         : (lead >> 5) == 0x6  ? 2
                         : (lead >> 4) == 0xE  ? 3
                         : (lead >> 3) == 0x1E ? 4
                                               : 0;
    if (length == 0 || i + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

bool ReportIsJson(std::string_view path) {
    return path.size() >= 5 && EqualsIgnoringAsciiCase(path.substr(path.size() - 5), ".json");
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = Utf8Length(text, i);
        char escaped[8];
        if (length == 0) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            i += 1;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    out += '"';
}

void AppendJsonField(std::string& out, const char* name, std::string_view value) {
    AppendJsonString(out, name);
    out += ':';
    AppendJsonString(out, value);
}

void AppendJsonField(std::string& out, const char* name, long value) {
    AppendJsonString(out, name);
    out += ':';
    out += std::to_string(value);
}

void AppendJsonField(std::string& out, const char* name, bool value) {
    AppendJsonString(out, name);
    out += value ? ":true" : ":false";
}

void AppendCsvField(std::string& out, std::string_view text) {
    const bool formula = !text.empty() && std::string_view("=+-@\t\r").find(text[0]) != std::string_view::npos;
    const std::string guard = formula ? "'" : "";
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += guard;
        out += text;
        return;
    }
    out += '"' + guard;
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

}  // namespace tolva
