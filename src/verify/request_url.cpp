#include "verify/request_url.h"

#include <cstdio>

#include "platform/ascii.h"

namespace tolva {

std::string_view SchemeOf(std::string_view url) {
    std::size_t i = 0;
    while (i < url.size()) {
        char c = url[i];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        bool other = (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
        if (c == ':') return i > 0 ? url.substr(0, i) : std::string_view();
        if (!letter && !(i > 0 && other)) return {};
        ++i;
    }
    return {};
}

bool IsSkippedScheme(std::string_view scheme) {
    static constexpr std::string_view kNoServer[] = {
        // scripts, mail, news and calls
        "javascript", "vbscript", "mailto", "news", "nntp", "snews", "tel", "sms", "callto", "sip", "sips",
        // the browser's own pages and extensions
        "about", "place", "chrome", "chrome-extension", "moz-extension", "resource", "view-source", "edge", "opera",
        "vivaldi",
        // what lies on the computer itself or in the link
        "file", "data", "blob"};
    for (std::string_view known : kNoServer) {
        if (EqualsIgnoringAsciiCase(scheme, known)) return true;
    }
    return false;
}

std::string EncodeForRequest(const std::string& url) {
    // The host part is left alone: bytes there cannot be repaired by escaping.
    std::size_t start = 0;
    std::size_t authority = url.find("://");
    if (authority != std::string::npos) {
        start = url.find_first_of("/?#", authority + 3);
        if (start == std::string::npos) return url;
    }
    std::string out = url.substr(0, start);
    for (std::size_t i = start; i < url.size(); ++i) {
        auto byte = static_cast<unsigned char>(url[i]);
        if (byte <= 0x20 || byte >= 0x7F) {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
            out += escaped;
        } else {
            out += url[i];
        }
    }
    return out;
}

}  // namespace tolva
