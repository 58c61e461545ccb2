#include "merge/merge_report.h"

#include <fcntl.h>

#include <filesystem>

#include "formats/format_table.h"
#include "platform/atomic_replace.h"
#include "platform/report_fields.h"

namespace tolva {

namespace {

const char* FateName(MemberFate fate) {
    switch (fate) {
        case MemberFate::Kept:
            return "kept";
        case MemberFate::Merged:
            return "merged";
        case MemberFate::Dropped:
            return "left out";
    }
    return "";
}

std::string RuleName(const MergeValues& values) {
    return "match rule " + std::to_string(kMatchRuleVersion) +
           (values.match == MatchRule::Exact ? ", exact" : ", loose");
}

const std::string& SourceLocation(const MergeValues& values, int index) {
    static const std::string kNone;
    return index >= 0 && static_cast<std::size_t>(index) < values.sources.size() ? values.sources[index].location
                                                                                 : kNone;
}

}  // namespace

std::string MergeReportJson(const MergeValues& values, const MergeOutcome& outcome) {
    const MergeCounts& counts = outcome.counts;
    std::string out = "{";
    AppendJsonField(out, "rule", RuleName(values));
    out += ',';
    AppendJsonField(out, "duplicates", values.duplicates == DuplicatePlaces::Keep ? "keep" : "first");
    out += ',';
    AppendJsonField(out, "links", static_cast<long>(counts.links));
    out += ',';
    AppendJsonField(out, "folders", static_cast<long>(counts.folders));
    out += ',';
    AppendJsonField(out, "duplicatesMerged", static_cast<long>(counts.duplicatesMerged));
    out += ',';
    AppendJsonField(out, "inOtherFolders", static_cast<long>(counts.inOtherFolders));
    out += ',';
    AppendJsonField(out, "summary", outcome.statusText);
    out += ",\"sets\":[";
    for (std::size_t i = 0; i < values.sources.size(); ++i) {
        out += i == 0 ? "{" : ",{";
        AppendJsonField(out, "location", values.sources[i].location);
        out += ',';
        AppendJsonField(out, "format", FormatName(values.sources[i].format));
        out += '}';
    }
    out += "],\"groups\":[";
    for (std::size_t g = 0; g < outcome.groups.size(); ++g) {
        out += g == 0 ? "\n[" : ",\n[";
        const auto& members = outcome.groups[g].members;
        for (std::size_t m = 0; m < members.size(); ++m) {
            const DuplicateMember& member = members[m];
            out += m == 0 ? "{" : ",{";
            AppendJsonField(out, "set", SourceLocation(values, member.source));
            out += ',';
            AppendJsonField(out, "folder", member.folder);
            out += ',';
            AppendJsonField(out, "name", member.name);
            out += ',';
            AppendJsonField(out, "url", member.url);
            out += ',';
            AppendJsonField(out, "outcome", FateName(member.fate));
            out += ',';
            AppendJsonField(out, "keptIn", member.keptIn);
            out += '}';
        }
        out += ']';
    }
    out += "]}\n";
    return out;
}

std::string MergeReportCsv(const MergeValues& values, const MergeOutcome& outcome) {
    std::string out = "group,set,folder,name,url,outcome,kept_in\r\n";
    for (std::size_t g = 0; g < outcome.groups.size(); ++g) {
        for (const DuplicateMember& member : outcome.groups[g].members) {
            out += std::to_string(g + 1);
            out += ',';
            AppendCsvField(out, SourceLocation(values, member.source));
            out += ',';
            AppendCsvField(out, member.folder);
            out += ',';
            AppendCsvField(out, member.name);
            out += ',';
            AppendCsvField(out, member.url);
            out += ',';
            AppendCsvField(out, FateName(member.fate));
            out += ',';
            AppendCsvField(out, member.keptIn);
            out += "\r\n";
        }
    }
    return out;
}

bool ReportReplacesSet(const std::string& path, const MergeValues& values) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path report = fs::weakly_canonical(path, error);
    if (error) return false;
    const auto same = [&](const std::string& location) {
        std::error_code failed;
        const fs::path set = fs::weakly_canonical(location, failed);
        return !failed && set == report;
    };
    if (same(values.destinationLocation)) return true;
    for (const MergeSource& source : values.sources) {
        if (same(source.location)) return true;
    }
    return false;
}

bool WriteMergeReport(const std::string& path, const MergeValues& values, const MergeOutcome& outcome) {
    const std::string bytes = ReportIsJson(path) ? MergeReportJson(values, outcome) : MergeReportCsv(values, outcome);
    return ReplaceFile(AT_FDCWD, path, bytes);
}

}  // namespace tolva
