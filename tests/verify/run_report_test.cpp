#include "verify/run_report.h"

#include <gtest/gtest.h>

namespace tolva {
namespace {

const std::string kHeader = "folder,name,url,final_url,code,error,ms,action\r\n";

// The report of one link "a" (http://a/) whose record says action.
std::string OneLinkCsv(const std::string& action) {
    std::string csv = kHeader;
    csv.append(",a,http://a/,,,,0,").append(action).append("\r\n");
    return csv;
}

LinkRecord Record(const std::string& name, const std::string& url, const std::string& action) {
    LinkRecord link;
    link.name = name;
    link.url = url;
    link.action = action;
    return link;
}

// A link named "=HYPERLINK(...)" was written as it was, and a spreadsheet opening the report ran it.
TEST(RunReportTest, CsvFieldsThatASpreadsheetWouldRunStartWithAnApostrophe) {
    LinkRecord formulas = Record("=HYPERLINK(\"http://evil/\",\"x\")", "+1", "kept");
    formulas.folder = "-2";
    formulas.finalUrl = "@SUM(A1)";
    formulas.errorText = "\tTab";
    const LinkRecord plain = Record("\rCR", "http://site/a-b=c", "kept");
    EXPECT_EQ(ReportCsv(VerifySettings(), {formulas, plain}),
              kHeader + "'-2,\"'=HYPERLINK(\"\"http://evil/\"\",\"\"x\"\")\",'+1,'@SUM(A1),,'\tTab,0,kept\r\n" +
                  ",\"'\rCR\",http://site/a-b=c,,,,0,kept\r\n");
}

// A dry run's report said "moved" for links it had not moved.
TEST(RunReportTest, DryRunTellsWhatWouldBeDoneNotWhatWasDone) {
    VerifySettings dryRun;
    dryRun.dryRun = true;
    const std::pair<std::string, std::string> rows[] = {{"moved", "would move"},
                                                        {"repaired+renamed", "would repair+rename"},
                                                        {"restored", "would restore"},
                                                        {"kept", "kept"},
                                                        {"untested", "untested"}};
    for (const auto& [done, told] : rows) {
        EXPECT_EQ(ReportCsv(dryRun, {Record("a", "http://a/", done)}), OneLinkCsv(told));
        EXPECT_EQ(ReportCsv(VerifySettings(), {Record("a", "http://a/", done)}), OneLinkCsv(done));
    }
}

}  // namespace
}  // namespace tolva
