#pragma once
// The Verify command around a run (verification_run.h): open and read the set, check that it
// and the report can be written, settle the cookie setting, show the progress window over the
// run, save a changed set, write the summary and the report.

#include "formats/set_storage.h"
#include "locations/recent_locations.h"
#include "model/url_set.h"
#include "platform/person.h"
#include "platform/settings_store.h"
#include "verify/request_options.h"
#include "verify/run_report.h"
#include "verify/verification_run.h"
#include "verify/verify_settings.h"

namespace tolva {

// The front end's side of the Verify command, kept alive by the caller for the whole
// command. prompter may be null (nothing shown, every question answered No); locationBox is
// the page's location box, whose recent list remembers the verified location; store keeps
// the recent lists and the cookie setting (null: neither is read nor written).
struct VerifyFrontEnd {
    Prompter* prompter = nullptr;
    TextControl* statusLine = nullptr;
    VerifyProgressView* progress = nullptr;
    UrlRepairPrompt* repair = nullptr;
    CookieWarningPrompt* cookieWarning = nullptr;
    LocationBox* locationBox = nullptr;
    SettingsStore* store = nullptr;
    // Remarks that need no answer and stop nothing (a folder left out that the set does not
    // hold); null: not shown.
    TextControl* notes = nullptr;
    LinkRequestOptions requestOptions;  // test seams; time-out, retries and cookies come from the run
};

enum class VerifyEnd {
    NotOpened,       // "Verify was unable to open the URL set."
    NotRead,         // "Verify was unable to read the URL set."
    NotWritable,     // the set could not be saved back, found before the first request
    ReportRefused,   // the report would replace the set, or cannot be written: found before the first request
    CookieCanceled,  // the person cancelled the cookie warning
    NoRequests,      // the request machinery could not be set up
    NotSaved,        // the run ended but writing the set back failed
    NetworkDown,     // no link reached a server: nothing was saved
    NotConfirmed,    // most links failed and moving them was not confirmed: nothing was saved
    Ran,             // the run ended and whatever was to be saved was saved
};

struct VerifyOutcome {
    VerifyEnd end = VerifyEnd::NotOpened;
    VerifyResult result = VerifyResult::NotRun;
    VerifyCounts counts;
    bool saved = false;
    bool reportFailed = false;  // a report was asked for and could not be written
    // What the summary line says and, with settings.keepRecords or a report, one record per
    // link of the set, for a front end that shows or saves them after the command.
    std::string summary;
    std::vector<LinkRecord> records;
};

// The Verify button: open, read, remember the location, settle cookies, run, restore the
// cookie setting, write the summary into the status line, save a changed set, close it.
// The set is closed on every path once it was opened; storage is bound to the set.
VerifyOutcome RunVerification(SetStorage& storage, const VerifySettings& settings, const VerifyFrontEnd& frontEnd);

}  // namespace tolva
