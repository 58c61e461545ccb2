#include "resources/strings.h"

namespace tolva {

namespace {

constexpr StringEntry kVerifyStrings[] = {
    // Error texts by HTTP status.
    {IDS_HTTP_ERROR_BASE + 400, "Bad request"},
    {IDS_HTTP_ERROR_BASE + 401, "Unauthorized"},
    {IDS_HTTP_ERROR_BASE + 402, "Payment required"},
    {IDS_HTTP_ERROR_BASE + 403, "Forbidden"},
    {IDS_HTTP_ERROR_BASE + 404, "Page not found"},
    {IDS_HTTP_ERROR_BASE + 500, "Internal server error"},
    {IDS_HTTP_ERROR_BASE + 501, "Not implemented"},
    {IDS_HTTP_ERROR_BASE + 502, "Server temporarily overloaded"},
    {IDS_HTTP_ERROR_BASE + 503, "Gateway timeout"},
    // Error texts by request error number.
    {12002, "Connection timed out"},
    {12005, "Invalid URL"},
    {12006, "Protocol not supported"},
    {12007, "Host not found"},
    {12008, "Protocol not found"},
    {12013, "Incorrect user name"},
    {12014, "Bad password"},
    {12015, "Login failure"},

    {IDS_COOKIE_KEY, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"},
    {IDS_COOKIE_VALUE, "AllowCookies"},

    {IDS_MSG_VERIFY_UNABLE_TO_OPEN, "Verify was unable to open the URL set."},
    {IDS_MSG_VERIFY_UNABLE_TO_READ, "Verify was unable to read the URL set."},
    {IDS_MSG_VERIFY_UNABLE_TO_SAVE, "Verify was unable to save the URL set."},
    {IDS_MSG_INTERNET_OPEN, "InternetOpen returned %d."},
    {IDS_TESTING_LINK, "Testing link %d of %d."},
    {IDS_STATUS_STARTING, "Starting"},
    {IDS_STATUS_RESOLVING, "Resolving host name to get IP #"},
    {IDS_STATUS_CONNECTING, "Have IP #; now connecting to host"},
    {IDS_STATUS_REQUEST_SENT, "Request sent; waiting for response"},
    {IDS_STATUS_REQUEST_COMPLETE, "Request complete; validating results"},
    {IDS_SUMMARY_RESTORED, "%d URLs tested; %d failed, %d restored."},
    {IDS_SUMMARY, "%d URLs tested; %d did not work."},
    {IDS_VERIFY_COMPLETE, "Verification complete."},
    {IDS_VERIFY_INCOMPLETE, "Verification imcomplete."},
    {IDS_VERIFY_CANCELED, "Verification canceled."},
    {IDS_VERIFY_SAVING, "Saving new URL set."},
    {IDS_VERIFY_UNCHANGED, "Current URL set unchanged."},
    {IDS_VERIFY_STATUS, "%s  %s\n%s"},
    {IDS_VERIFY_STATUS_SAVED, "%s  %s\nUpdated URL set saved."},
    {IDS_ERROR_NUMBER, "Error #%d"},

    {IDS_COOKIE_WARNING,
     "Your internet settings do not allow internet \"cookies\" to be processed automatically.  If this happens "
     "while Tolva is verifying your URL set, you will be prompted to accept or reject the cookie.  This prompting "
     "makes unattended verification impossible."},
    {IDS_COOKIE_QUESTION, "How do you want to handle cookies?"},
    {IDS_COOKIE_CHOICE_PROMPT, "Prompt me each time a cookie is received."},
    {IDS_COOKIE_CHOICE_DURING_RUN, "Accept cookies received only during Verification."},
    {IDS_COOKIE_CHOICE_ALWAYS, "Accept all cookies from now on."},
    {IDS_REPAIR_GROUP, "This link is not working"},
};

}  // namespace

std::span<const StringEntry> VerifyStrings() { return kVerifyStrings; }

}  // namespace tolva
