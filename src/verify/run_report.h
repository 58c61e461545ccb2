#pragma once
// The report of a verification run (verify --report FILE): one record per link of the set,
// in document order, and the run's summary. JSON when the file name ends in ".json" (one
// object: the summary's fields and "links", an array of records), CSV otherwise (a header line
// and one line per link). The file is replaced atomically: a reader finds the old report or
// the new one, never a part; an existing file that is no regular file (a device, a pipe) is
// written in place instead, never replaced. A dry run's report says what the run would have
// done ("would move"), not what it did.

#include <string>
#include <vector>

#include "platform/report_fields.h"
#include "verify/verify_settings.h"

namespace tolva {

// What the run did with one link.
struct LinkRecord {
    std::string folder;     // its folder path when it was tested ("\Work\Tools"; empty at the top)
    std::string name;       // its name when it was tested
    std::string url;        // the URL last tested (a repaired one if it was repaired)
    std::string finalUrl;   // where the last redirect led
    long code = 0;          // HTTP status, or the error number when there was no reply
    std::string errorText;  // the error text of a failing link; empty for a working one
    long elapsedMs = 0;
    // "kept", "moved", "renamed", "restored", "repaired" (with "+moved" or "+renamed" when the
    // repaired URL failed too), "skipped" (not http, https or ftp) or "untested" (stopped before);
    // a working link given the URL it moved to is "updated" (or "restored+updated", ...), and
    // finalUrl is its new URL.
    std::string action = "untested";
    bool tested = false;
    std::string archivedUrl;  // an archived copy of a dead link, when one was looked for and found
};

struct ReportSummary {
    VerifyResult result = VerifyResult::NotRun;
    VerifyCounts counts;
    bool saved = false;
    std::string text;  // the summary as the status line shows it
};

std::string ReportJson(const VerifySettings& settings, const ReportSummary& summary,
                       const std::vector<LinkRecord>& links);
std::string ReportCsv(const VerifySettings& settings, const std::vector<LinkRecord>& links);
// Writes the report to settings.reportPath; false with errno set when it could not be written.
bool WriteReport(const VerifySettings& settings, const ReportSummary& summary, const std::vector<LinkRecord>& links);

enum class ReportPlace {
    Writable,
    OverSet,      // the set's own file (by another name too), or inside the set's folder
    NotWritable,  // errno says why
};
// Where settings.reportPath lies, asked before the first request so that a report that would
// replace the set, or could not be written, stops the command while nothing is lost.
ReportPlace CheckReportPlace(const VerifySettings& settings);

}  // namespace tolva
