#pragma once
// Archived copies of dead links: which failures are worth asking a web archive about, the
// address it is asked at, and what its reply says. The archive answers
// ARCHIVE/web/TIMESTAMP/URL with a redirect to the copy nearest that time (or, without a
// time, to its latest) and with 404 when it holds none; the redirect is read, never followed,
// so one request per link is all the archive is asked. Pure rules, given the outcome.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "verify/waiter.h"

namespace tolva {

// The archive asked unless the person names another (a mirror, or a test's own server).
inline constexpr char kDefaultArchiveUrl[] = "https://web.archive.org";

// Whether a failing link may have an archived copy worth offering: its page is gone (404,
// 410) or its host no longer answers (not found, no connection). Other failures say nothing
// of the page being gone.
bool WorthAnArchivedCopy(const RequestOutcome& outcome);

// YYYYMMDDhhmmss in UTC, as the archive spells a moment; empty for a time it cannot spell.
std::string ArchiveTimestamp(std::int64_t secondsSince1970);

// Where the archive is asked for url: archive (empty: kDefaultArchiveUrl) + "/web/" +
// TIMESTAMP + "/" + url, TIMESTAMP from addedAt (when the link was bookmarked, so the copy is
// one of the page the person knew), or without it the archive's latest copy. A fragment
// never reaches a server, so it is left out.
std::string ArchiveRequestUrl(std::string_view archive, std::string_view url, std::optional<std::int64_t> addedAt);

// The archived copy's address in the archive's reply to request, or empty text for none: a
// redirect (3xx) to an http or https address is the copy; a page served at the address
// asked (200) is one too; anything else (404, an error, a redirect to no web address) is none.
std::string ArchivedCopyIn(const RequestOutcome& reply, const std::string& request);

}  // namespace tolva
