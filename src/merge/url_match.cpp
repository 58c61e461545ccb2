#include "merge/url_match.h"

#include <array>

#include "platform/ascii.h"

namespace tolva {

namespace {

bool IsSchemeChar(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    if (first) return letter;
    return letter || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
}

// Where the scheme's ":" stands, or npos when url begins with no scheme.
std::size_t SchemeEnd(std::string_view url) {
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] == ':') return i == 0 ? std::string_view::npos : i;
        if (!IsSchemeChar(url[i], i == 0)) return std::string_view::npos;
    }
    return std::string_view::npos;
}

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Appends text with the hex digits of its percent-escapes in upper case (and, with lower,
// every ASCII letter in lower case, which covers the escapes too).
void AppendEscapesFolded(std::string& key, std::string_view text, bool lower) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (lower) {
            key += LowerAscii(text[i]);
        } else if (text[i] == '%' && i + 2 < text.size() && IsHexDigit(text[i + 1]) && IsHexDigit(text[i + 2])) {
            key += '%';
            key += UpperAscii(text[i + 1]);
            key += UpperAscii(text[i + 2]);
            i += 2;
        } else {
            key += text[i];
        }
    }
}

std::string_view DefaultPort(std::string_view lowerScheme) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 3> kPorts = {
        {{"http", "80"}, {"https", "443"}, {"ftp", "21"}}};
    for (const auto& [scheme, port] : kPorts) {
        if (scheme == lowerScheme) return port;
    }
    return {};
}

// A query parameter that only says where a visitor came from.
bool IsTrackingParameter(std::string_view parameter) {
    const std::string_view name = parameter.substr(0, parameter.find('='));
    return name.starts_with("utm_") || name == "fbclid" || name == "gclid";
}

// Appends the query (without its "?") with the tracking parameters left out; the "?" only
// when a parameter stays.
void AppendQueryWithoutTracking(std::string& key, std::string_view query) {
    bool first = true;
    while (true) {
        const std::size_t amp = query.find('&');
        const std::string_view parameter = query.substr(0, amp);
        if (!parameter.empty() && !IsTrackingParameter(parameter)) {
            key += first ? '?' : '&';
            AppendEscapesFolded(key, parameter, false);
            first = false;
        }
        if (amp == std::string_view::npos) break;
        query.remove_prefix(amp + 1);
    }
}

}  // namespace

void MatchKey(std::string_view url, MatchRule rule, std::string& key) {
    key.clear();
    const bool loose = rule == MatchRule::Loose;
    const std::size_t colon = SchemeEnd(url);
    if (colon == std::string_view::npos) {
        AppendEscapesFolded(key, url, false);
        return;
    }
    std::string scheme;
    AppendEscapesFolded(scheme, url.substr(0, colon), true);
    std::string_view rest = url.substr(colon + 1);
    if (loose && scheme == "http") scheme = "https";
    key += scheme;
    key += ':';

    std::string_view fragment;
    if (const std::size_t hash = rest.find('#'); hash != std::string_view::npos) {
        fragment = rest.substr(hash);
        rest = rest.substr(0, hash);
    }
    std::string_view query;
    bool hasQuery = false;
    if (const std::size_t mark = rest.find('?'); mark != std::string_view::npos) {
        query = rest.substr(mark + 1);
        hasQuery = true;
        rest = rest.substr(0, mark);
    }

    std::string_view path = rest;
    const bool hierarchical = rest.starts_with("//");
    if (hierarchical) {
        rest.remove_prefix(2);
        const std::size_t slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        path = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
        key += "//";
        // The user's part keeps its case; the host is told apart without it.
        if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) {
            AppendEscapesFolded(key, authority.substr(0, at + 1), false);
            authority.remove_prefix(at + 1);
        }
        // A port follows the last ":" outside an IPv6 address's brackets.
        std::string_view port;
        const std::size_t bracket = authority.rfind(']');
        const std::size_t portColon = authority.rfind(':');
        if (portColon != std::string_view::npos && (bracket == std::string_view::npos || portColon > bracket)) {
            port = authority.substr(portColon + 1);
            authority = authority.substr(0, portColon);
        }
        std::string host;
        AppendEscapesFolded(host, authority, true);
        if (loose && host.starts_with("www.")) host.erase(0, 4);
        key += host;
        const std::string originalScheme = LowerAscii(std::string(url.substr(0, colon)));
        if (!port.empty() && port != DefaultPort(originalScheme)) {
            key += ':';
            key += port;
        }
        if (path.empty()) path = "/";
    }
    if (loose && hierarchical && path.ends_with('/')) path.remove_suffix(1);
    AppendEscapesFolded(key, path, false);
    if (loose) {
        AppendQueryWithoutTracking(key, query);
        return;
    }
    if (hasQuery) {
        key += '?';
        AppendEscapesFolded(key, query, false);
    }
    AppendEscapesFolded(key, fragment, false);
}

}  // namespace tolva
