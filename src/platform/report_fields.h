#pragma once
// The fields of the reports the runs write (verify --report, merge --report): JSON when the
// report's name ends in ".json", CSV otherwise. Both stay valid whatever the set's encoding,
// and a CSV field never reads as a formula in a spreadsheet.

#include <string>
#include <string_view>

namespace tolva {

// Whether a report at path is written as JSON (its name ends in ".json", in any case).
bool ReportIsJson(std::string_view path);

// A JSON string. Bytes that are not UTF-8 are taken as Latin-1 characters, so that the report
// stays valid JSON whatever the set's encoding.
void AppendJsonString(std::string& out, std::string_view text);
// "name":value
void AppendJsonField(std::string& out, const char* name, std::string_view value);
// (A literal would otherwise be taken for a bool.)
inline void AppendJsonField(std::string& out, const char* name, const char* value) {
    AppendJsonField(out, name, std::string_view(value));
}
void AppendJsonField(std::string& out, const char* name, long value);
void AppendJsonField(std::string& out, const char* name, bool value);

// A CSV field, quoted when it holds a separator, a quote or a line break (RFC 4180). A field
// that a spreadsheet would take for a formula (a name such as "=HYPERLINK(...)") starts with
// an apostrophe, which spreadsheets read as "text follows" and do not show.
void AppendCsvField(std::string& out, std::string_view text);

}  // namespace tolva
