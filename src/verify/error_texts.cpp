#include "verify/error_texts.h"

#include "resources/strings.h"
#include "verify/request_errors.h"

namespace tolva {

namespace {

// Failing replies (HTTP statuses, FTP refusals) lie in this range; other ids there name texts
// that are not error texts (recent-location keys), so nothing outside it is looked up.
constexpr long kFirstFailingReply = 400;
constexpr long kEndFailingReplies = 600;

bool IsFailingReply(long number) { return number >= kFirstFailingReply && number < kEndFailingReplies; }

std::string TextOrNumber(int id, long number) {
    std::string text;
    if (id > 0) text = LoadString(id);
    if (text.empty()) text = FormatString(IDS_ERROR_NUMBER, {std::to_string(number)});
    return text;
}

}  // namespace

std::string HttpErrorText(long status) {
    return TextOrNumber(IsFailingReply(status) ? IDS_HTTP_ERROR_BASE + static_cast<int>(status) : 0, status);
}

std::string RequestErrorText(unsigned error) {
    long number = static_cast<long>(error);
    // A number below the error numbers is the server's own refusal (an FTP reply code).
    if (IsFailingReply(number)) return TextOrNumber(IDS_FTP_ERROR_BASE + static_cast<int>(number), number);
    bool tableRange = error >= request_error::kFirstRequestError && error < request_error::kEndRequestErrors;
    return TextOrNumber(tableRange ? static_cast<int>(error) : 0, number);
}

}  // namespace tolva
