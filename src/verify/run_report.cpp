#include "verify/run_report.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "platform/atomic_replace.h"
#include "platform/descriptor.h"
#include "platform/report_fields.h"

namespace tolva {

namespace {

const char* ResultName(VerifyResult result) {
    switch (result) {
        case VerifyResult::Complete:
            return "complete";
        case VerifyResult::Incomplete:
            return "incomplete";
        case VerifyResult::Canceled:
            return "canceled";
        case VerifyResult::NotRun:
            break;
    }
    return "not run";
}

// A dry run changes nothing: each step the run took in memory ("repaired+moved") is told as
// what would have been done ("would repair+move").
std::string ShownAction(const VerifySettings& settings, const std::string& action) {
    static constexpr std::pair<std::string_view, std::string_view> kWouldDo[] = {
        {"moved", "move"}, {"renamed", "rename"}, {"restored", "restore"}, {"repaired", "repair"}, {"updated", "update"}};
    if (!settings.dryRun) return action;
    std::string shown;
    bool changed = false;
    std::size_t start = 0;
    while (start <= action.size()) {
        std::size_t end = action.find('+', start);
        if (end == std::string::npos) end = action.size();
        std::string_view step = std::string_view(action).substr(start, end - start);
        if (!shown.empty()) shown += '+';
        for (const auto& [done, would] : kWouldDo) {
            if (step != done) continue;
            step = would;
            changed = true;
            break;
        }
        shown += step;
        start = end + 1;
    }
    return changed ? "would " + shown : action;
}

}  // namespace

std::string ReportJson(const VerifySettings& settings, const ReportSummary& summary,
                       const std::vector<LinkRecord>& links) {
    std::string out = "{";
    AppendJsonField(out, "result", std::string(ResultName(summary.result)));
    out += ',';
    AppendJsonField(out, "tested", static_cast<long>(summary.counts.tested));
    out += ',';
    AppendJsonField(out, "failed", static_cast<long>(summary.counts.failingLinks));
    out += ',';
    AppendJsonField(out, "restored", static_cast<long>(summary.counts.restored));
    out += ',';
    AppendJsonField(out, "skipped", static_cast<long>(summary.counts.skipped));
    out += ',';
    AppendJsonField(out, "updated", static_cast<long>(summary.counts.updated));
    out += ',';
    AppendJsonField(out, "saved", summary.saved);
    out += ',';
    AppendJsonField(out, "dryRun", settings.dryRun);
    out += ',';
    AppendJsonField(out, "summary", summary.text);
    out += ",\"links\":[";
    for (std::size_t i = 0; i < links.size(); ++i) {
        const LinkRecord& link = links[i];
        out += i == 0 ? "\n{" : ",\n{";
        AppendJsonField(out, "folder", link.folder);
        out += ',';
        AppendJsonField(out, "name", link.name);
        out += ',';
        AppendJsonField(out, "url", link.url);
        out += ',';
        AppendJsonField(out, "finalUrl", link.finalUrl);
        out += ',';
        if (link.tested) {
            AppendJsonField(out, "code", link.code);
        } else {
            out += "\"code\":null";
        }
        out += ',';
        AppendJsonField(out, "error", link.errorText);
        out += ',';
        AppendJsonField(out, "ms", link.elapsedMs);
        out += ',';
        AppendJsonField(out, "action", ShownAction(settings, link.action));
        // Only a run that looked for archived copies has the field, so other reports stay as they were.
        if (settings.suggestArchive) {
            out += ',';
            AppendJsonField(out, "archivedUrl", link.archivedUrl);
        }
        out += '}';
    }
    out += "]}\n";
    return out;
}

std::string ReportCsv(const VerifySettings& settings, const std::vector<LinkRecord>& links) {
    std::string out = "folder,name,url,final_url,code,error,ms,action";
    out += settings.suggestArchive ? ",archived_url\r\n" : "\r\n";
    for (const LinkRecord& link : links) {
        AppendCsvField(out, link.folder);
        out += ',';
        AppendCsvField(out, link.name);
        out += ',';
        AppendCsvField(out, link.url);
        out += ',';
        AppendCsvField(out, link.finalUrl);
        out += ',';
        if (link.tested) out += std::to_string(link.code);
        out += ',';
        AppendCsvField(out, link.errorText);
        out += ',';
        out += std::to_string(link.elapsedMs);
        out += ',';
        AppendCsvField(out, ShownAction(settings, link.action));
        if (settings.suggestArchive) {
            out += ',';
            AppendCsvField(out, link.archivedUrl);
        }
        out += "\r\n";
    }
    return out;
}

bool WriteReport(const VerifySettings& settings, const ReportSummary& summary, const std::vector<LinkRecord>& links) {
    const std::string& path = settings.reportPath;
    std::string bytes = ReportIsJson(path) ? ReportJson(settings, summary, links) : ReportCsv(settings, links);
    return ReplaceFile(AT_FDCWD, path, bytes);
}

ReportPlace CheckReportPlace(const VerifySettings& settings) {
    namespace fs = std::filesystem;
    const std::string& path = settings.reportPath;
    struct stat report {};
    struct stat set {};
    const bool reportExists = ::stat(path.c_str(), &report) == 0;
    const bool setExists = ::stat(settings.location.c_str(), &set) == 0;
    if (reportExists && setExists && report.st_dev == set.st_dev && report.st_ino == set.st_ino) {
        return ReportPlace::OverSet;
    }
    // By name as well: the set's file may not be there yet when the report is checked.
    std::error_code error;
    const fs::path reportName = fs::weakly_canonical(path, error);
    const fs::path setName = fs::weakly_canonical(settings.location, error);
    if (!error && !reportName.empty() && !setName.empty()) {
        if (reportName == setName) return ReportPlace::OverSet;
        // A set kept as a folder of files: a report inside it would be read as one of them.
        if (setExists && S_ISDIR(set.st_mode)) {
            if (std::mismatch(setName.begin(), setName.end(), reportName.begin(), reportName.end()).first ==
                setName.end()) {
                return ReportPlace::OverSet;
            }
        }
    }
    if (reportExists && S_ISDIR(report.st_mode)) {
        errno = EISDIR;
        return ReportPlace::NotWritable;
    }
    if (reportExists && !S_ISREG(report.st_mode)) {
        // Written in place: it must open for writing, as it will then.
        Descriptor opened(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
        return opened.Valid() ? ReportPlace::Writable : ReportPlace::NotWritable;
    }
    // Replaced: a temporary must be possible beside it, as it will be then.
    File probe;
    AtomicReplace replace(AT_FDCWD, path);
    if (!replace.Open(probe)) {
        errno = probe.LastErrno();
        return ReportPlace::NotWritable;
    }
    replace.Abandon();
    return ReportPlace::Writable;
}

}  // namespace tolva
