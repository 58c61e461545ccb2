#pragma once
// When two links of a merge are the same link: their URLs are compared by a key made from
// each, under a rule that is written down and numbered, so that a report names the rule its
// groups were made by and a later change to the rule is a new number, never a silent one.
//
// Match rule 1, exact (the default): the scheme and the host in lower case, the scheme's
// default port dropped (http 80, https 443, ftp 21), an empty path taken as "/", the hex
// digits of percent-escapes in upper case; nothing else. Match rule 1, loose: as exact, and
// besides: http and https alike, a leading "www." of the host dropped, the fragment dropped,
// the tracking parameters of the query (utm_*, fbclid, gclid) dropped, and a trailing "/" of
// the path dropped.
//
// The key only decides what is the same; the stored URL is never rewritten from it.

#include <string>
#include <string_view>

namespace tolva {

enum class MatchRule {
    Exact,
    Loose,
};

// The number of the rule MatchKey follows, for reports.
inline constexpr int kMatchRuleVersion = 1;

// The key of url under rule, written into key (whose storage is reused).
void MatchKey(std::string_view url, MatchRule rule, std::string& key);

}  // namespace tolva
