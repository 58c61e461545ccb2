#include "verify/archived_copy.h"

#include <ctime>

#include "platform/ascii.h"
#include "verify/request_errors.h"
#include "verify/request_url.h"

namespace tolva {

namespace {

constexpr long kNotFound = 404;
constexpr long kGone = 410;
constexpr long kOk = 200;
constexpr long kFirstRedirect = 300;
constexpr long kFirstClientError = 400;
// The archive spells years with four digits.
constexpr int kFirstYear = 1;
constexpr int kLastYear = 9999;
constexpr int kTmYearBase = 1900;

bool IsWebAddress(std::string_view url) {
    const std::string_view scheme = SchemeOf(url);
    return EqualsIgnoringAsciiCase(scheme, "http") || EqualsIgnoringAsciiCase(scheme, "https");
}

}  // namespace

bool WorthAnArchivedCopy(const RequestOutcome& outcome) {
    if (outcome.kind == RequestOutcome::Reply) return outcome.httpCode == kNotFound || outcome.httpCode == kGone;
    return outcome.kind == RequestOutcome::NoReply && (outcome.error == request_error::kNameNotResolved ||
                                                       outcome.error == request_error::kCannotConnect);
}

std::string ArchiveTimestamp(std::int64_t secondsSince1970) {
    const auto seconds = static_cast<std::time_t>(secondsSince1970);
    std::tm utc{};
    if (static_cast<std::int64_t>(seconds) != secondsSince1970 || gmtime_r(&seconds, &utc) == nullptr) return {};
    const int year = utc.tm_year + kTmYearBase;
    if (year < kFirstYear || year > kLastYear) return {};
    char text[16];
    const std::size_t length = std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &utc);
    return length == 14 ? std::string(text, length) : std::string();
}

std::string ArchiveRequestUrl(std::string_view archive, std::string_view url, std::optional<std::int64_t> addedAt) {
    if (archive.empty()) archive = kDefaultArchiveUrl;
    while (archive.ends_with('/')) archive.remove_suffix(1);
    url = url.substr(0, url.find('#'));
    std::string request(archive);
    request += "/web/";
    if (addedAt) {
        const std::string timestamp = ArchiveTimestamp(*addedAt);
        if (!timestamp.empty()) request += timestamp + "/";
    }
    request += url;
    return request;
}

std::string ArchivedCopyIn(const RequestOutcome& reply, const std::string& request) {
    if (reply.kind != RequestOutcome::Reply) return {};
    if (reply.httpCode == kOk) return request;
    if (reply.httpCode >= kFirstRedirect && reply.httpCode < kFirstClientError && IsWebAddress(reply.location)) {
        return reply.location;
    }
    return {};
}

}  // namespace tolva
