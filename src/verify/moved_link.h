#pragma once
// Whether a working link is to be given the address its site moved it to: the rules are kept
// apart from the run and the requests so that they can be tried on outcomes made up by hand.
//
// A link is updated only when every redirect of its request was permanent (301, 308) and the
// chain ended in a reply that is no error and no redirect. It keeps its URL when the new one
// is a site's front page (unless it was one already), looks like a log-in page, or gives up
// https for http: a site that sends every old address to its home or to a log-in has not
// moved that page, and a redirect to plain http would weaken the link.

#include <string>
#include <string_view>

#include "verify/waiter.h"

namespace tolva {

// The URL the link at linkUrl (as it was requested) is to get from its request's outcome, or
// empty text when it keeps its own. A fragment of the link's ("#part"), which is never sent,
// is carried over to a new URL that has none.
std::string MovedUrl(std::string_view linkUrl, const RequestOutcome& outcome);

}  // namespace tolva
