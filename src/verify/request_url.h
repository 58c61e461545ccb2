#pragma once
// What verification makes of a link's URL before it asks for it: its scheme, whether it is
// asked for at all, and the URL as sent.

#include <string>
#include <string_view>

namespace tolva {

// The scheme before the first colon, or empty text when the URL has none.
std::string_view SchemeOf(std::string_view url);
// Whether a link of this scheme is known to be no link to a server (javascript:, mailto:, a
// browser's own pages, local files, ...), so that verification leaves it alone. An unknown
// scheme is not: a typo such as "htp:" is tested, and fails as the broken link it is.
bool IsSkippedScheme(std::string_view scheme);

// The URL as sent: bytes libcurl refuses but browsers escape (space, control bytes, bytes of
// 0x80 and above) percent-encoded after the host part. The stored URL is never changed.
std::string EncodeForRequest(const std::string& url);

}  // namespace tolva
