#include "verify/error_texts.h"

#include <climits>

#include "resources/strings.h"
#include "verify/request_errors.h"

namespace tolva {

namespace {

std::string TextOrNumber(long id, long number) {
    std::string text;
    if (id > 0 && id <= INT_MAX) text = LoadString(static_cast<int>(id));
    if (text.empty()) text = FormatString(IDS_ERROR_NUMBER, {std::to_string(number)});
    return text;
}

}  // namespace

std::string HttpErrorText(long status) {
    // Only real status codes may reach the table: any other id would name an unrelated text.
    if (status < 100 || status > 999) return TextOrNumber(0, status);
    return TextOrNumber(IDS_HTTP_ERROR_BASE + status, status);
}

std::string RequestErrorText(unsigned error) {
    // Error numbers and servers' own codes live outside the program's other string ids.
    bool tableRange = error >= request_error::kFirstRequestError && error < request_error::kEndRequestErrors;
    return TextOrNumber(tableRange ? static_cast<long>(error) : 0, static_cast<long>(error));
}

}  // namespace tolva
