#pragma once
// The report of a merge (merge --report FILE): every duplicate group, each member with its
// set, its folder there, its name, its URL as that set spelled it and what became of it, and
// the run's counts. JSON when the file name ends in ".json" (one object: the rule, the counts,
// the sets and "groups"), CSV otherwise (a header line and one line per member, numbered by
// group). The file is replaced atomically.

#include <string>

#include "merge/merge_run.h"

namespace tolva {

std::string MergeReportJson(const MergeValues& values, const MergeOutcome& outcome);
std::string MergeReportCsv(const MergeValues& values, const MergeOutcome& outcome);
// Whether a report at path would take the place of a set the merge reads or writes (the same
// file once "." and ".." and symbolic links are resolved): such a report is refused before the
// merge starts.
bool ReportReplacesSet(const std::string& path, const MergeValues& values);
// Writes the report to path; false with errno set when it could not be written.
bool WriteMergeReport(const std::string& path, const MergeValues& values, const MergeOutcome& outcome);

}  // namespace tolva
