#include "verify/moved_link.h"

#include <algorithm>
#include <span>

#include "platform/ascii.h"
#include "verify/request_url.h"

namespace tolva {

namespace {

constexpr long kMovedPermanently = 301;
constexpr long kPermanentRedirect = 308;
constexpr long kFirstSuccess = 200;
constexpr long kFirstRedirect = 300;

// Words of a path, and of a query, that show a page asking who the person is.
constexpr std::string_view kLoginPathWords[] = {"login", "signin", "sign-in", "auth", "sso", "session"};
constexpr std::string_view kLoginQueryWords[] = {"next=", "return", "redirect"};

// The parts of a URL that the rules look at; the path of "http://host" is empty.
struct UrlParts {
    std::string_view scheme;
    std::string_view path;
    std::string_view query;     // without its "?"
    std::string_view fragment;  // with its "#"
    bool hasQuery = false;
};

UrlParts SplitUrl(std::string_view url) {
    UrlParts parts;
    parts.scheme = SchemeOf(url);
    if (const std::size_t hash = url.find('#'); hash != std::string_view::npos) {
        parts.fragment = url.substr(hash);
        url = url.substr(0, hash);
    }
    if (const std::size_t question = url.find('?'); question != std::string_view::npos) {
        parts.query = url.substr(question + 1);
        parts.hasQuery = true;
        url = url.substr(0, question);
    }
    std::size_t pathStart = parts.scheme.empty() ? 0 : parts.scheme.size() + 1;
    if (url.substr(pathStart).starts_with("//")) {
        pathStart = url.find('/', pathStart + 2);
        if (pathStart == std::string_view::npos) pathStart = url.size();
    }
    parts.path = url.substr(pathStart);
    return parts;
}

bool IsFrontPage(const UrlParts& parts) { return (parts.path.empty() || parts.path == "/") && !parts.hasQuery; }

bool HoldsAny(std::string_view text, std::span<const std::string_view> words) {
    const std::string lower = LowerAscii(std::string(text));
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view word) { return lower.find(word) != std::string::npos; });
}

bool LooksLikeLogin(const UrlParts& parts) {
    return HoldsAny(parts.path, kLoginPathWords) || HoldsAny(parts.query, kLoginQueryWords);
}

bool MovedForGood(const RequestOutcome& outcome) {
    if (outcome.kind != RequestOutcome::Reply || outcome.redirects.empty()) return false;
    // A reply that is itself a redirect was not followed (it named no place to go).
    if (outcome.httpCode < kFirstSuccess || outcome.httpCode >= kFirstRedirect) return false;
    return std::all_of(outcome.redirects.begin(), outcome.redirects.end(),
                       [](long code) { return code == kMovedPermanently || code == kPermanentRedirect; });
}

}  // namespace

std::string MovedUrl(std::string_view linkUrl, const RequestOutcome& outcome) {
    if (!MovedForGood(outcome) || outcome.finalUrl.empty()) return {};
    const UrlParts from = SplitUrl(linkUrl);
    const UrlParts to = SplitUrl(outcome.finalUrl);
    if (EqualsIgnoringAsciiCase(from.scheme, "https") && !EqualsIgnoringAsciiCase(to.scheme, "https")) return {};
    if (IsFrontPage(to) && !IsFrontPage(from)) return {};
    if (LooksLikeLogin(to)) return {};
    std::string moved = outcome.finalUrl;
    if (to.fragment.empty()) moved += from.fragment;
    // Redirected back to where it started (once the request's escaping is allowed for).
    const std::string sent = EncodeForRequest(std::string(linkUrl));
    if (moved == linkUrl || moved == sent) return {};
    return moved;
}

}  // namespace tolva
