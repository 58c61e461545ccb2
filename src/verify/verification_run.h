#pragma once
// The Verify command and the run that tests every link of a URL set, one after the other,
// moving failing links into "Unverified" error folders (or renaming them in place) and links
// that work again back to where they came from. The run is synchronous on the caller's
// thread; only the requests run on a worker thread (link_batch.h). The person is
// reached through the small interfaces below, which the desktop program implements with Qt
// dialogs, tolva-cli with the terminal and tests with scripted fakes.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "formats/set_storage.h"
#include "locations/recent_locations.h"
#include "model/url_set.h"
#include "platform/person.h"
#include "platform/settings_store.h"
#include "verify/link_batch.h"
#include "verify/request_options.h"
#include "verify/run_report.h"
#include "verify/waiter.h"

namespace tolva {

enum VerifyResult : int {
    Complete = 1,    // every entry was visited
    Incomplete = 2,  // stopped with OK: partial results are kept
    Canceled = 3,    // stopped with Cancel: results are dropped
};

// Result codes of the modal questions, as dialogs return them.
inline constexpr int kDialogOk = 1;
inline constexpr int kDialogCancel = 2;

class VerificationRun;

// The "Verification progress" window: what it shows while the run goes on, and the wait
// during which its OK and Cancel stay live. Every call comes from the run's own thread.
class VerifyProgressView {
public:
    virtual ~VerifyProgressView() = default;
    virtual void SetTestingLine(const std::string& text) = 0;  // "Testing link %d of %d."
    virtual void SetProgressRange(int minimum, int maximum) = 0;
    virtual void SetProgressPos(int position) = 0;
    virtual void SetCurrentName(const std::string& text) = 0;
    virtual void SetCurrentUrl(const std::string& text) = 0;
    virtual void SetCurrentStatus(const std::string& text) = 0;  // "Starting", then the request's texts
    // The "Last error reported" group: name, URL and error text of the last failed link.
    virtual void SetLastError(const std::string& name, const std::string& url, const std::string& text) = 0;
    // Sleeps until waiter.Fd() is readable or the person stops the run. OK calls run.OnOK(),
    // Cancel (also Escape and closing the window) calls run.OnCancel(), and then Wait
    // returns. It may also return early for no reason; the run simply waits again.
    virtual void Wait(const Waiter& waiter, VerificationRun& run) = 0;
    // Called after the run, before a changed set is saved: the last moment a stop may still
    // cancel it (OnCancel), as a late second Ctrl+C does at a terminal.
    virtual void BeforeSave(VerificationRun&) {}
    // Called as a changed set is saved at the end of the run, with the window still shown:
    // from then on a stop no longer acts. Returns the control that counts the entries saved
    // ("Saving item %d"), or null to show nothing.
    virtual TextControl* SaveStatus() { return nullptr; }
    // Shows the window and performs run.Run() while it is shown (the desktop program starts it
    // once its event loop runs and closes the window after Run returns); returns Run's result.
    virtual int DoModal(VerificationRun& run);
};

// "Interactive URL Repair": shows errorText, name and url, and lets the person edit newUrl
// (which starts as url). Returns kDialogOk ("Repair or Ignore", newUrl read back) or any
// other value ("Reject and Move", Escape, the close box; newUrl then left alone).
struct UrlRepairFields {
    std::string errorText;
    std::string name;
    std::string newUrl;
    std::string url;
};
class UrlRepairPrompt {
public:
    virtual ~UrlRepairPrompt() = default;
    virtual int DoModal(UrlRepairFields& fields) = 0;
};

// "Internet Cookie Warning": choice is the selected radio button on entry (the run presets
// kCookieChoiceDuringRun) and on kDialogOk return; any other return is Cancel.
enum CookieChoice : int {
    kCookieChoicePrompt = 0,     // "Prompt me each time a cookie is received."
    kCookieChoiceDuringRun = 1,  // "Accept cookies received only during Verification."
    kCookieChoiceAlways = 2,     // "Accept all cookies from now on."
};
class CookieWarningPrompt {
public:
    virtual ~CookieWarningPrompt() = default;
    virtual int DoModal(int& choice) = 0;
};

// One run over a set that is already open and read: the loop of the progress window.
// The front end's progress window owns one of these for as long as it is shown and routes
// its buttons to OnOK and OnCancel; the set, the view and the prompts belong to the caller.
class VerificationRun {
public:
    VerificationRun(UrlSet& set, VerifyProgressView& view, UrlRepairPrompt& repair, Prompter& prompter);
    ~VerificationRun();
    VerificationRun(const VerificationRun&) = delete;
    VerificationRun& operator=(const VerificationRun&) = delete;

    // Tests every link and returns result: Complete, Incomplete or Canceled, or 0 when the
    // requests could not be set up at all (message "InternetOpen returned %d." shown).
    int Run();
    // Stop and keep partial results.
    void OnOK();
    // Stop and drop the results: nothing is saved afterwards.
    void OnCancel();

    UrlSet* urlSet;
    int running = 0;
    int modified = 0;
    std::string message;  // the testing line, a link's error text, at the end the summary
    int timeoutSeconds = 0;
    int retryCount = 0;
    int interactiveRepair = 0;
    int renameInPlace = 0;
    bool acceptCookies = false;  // turns the request machinery's cookie engine on
    int result = 0;
    int tested = 0;
    int failed = 0;
    int restored = 0;
    int failingLinks = 0;  // links whose last test in this run failed (a repaired link that works is not)
    int repaired = 0;      // links whose repaired URL then worked
    int skipped = 0;       // links not tested: their scheme is not http, https or ftp
    // Many requests at once (LinkBatch), used when any of these differs from its default:
    // the outcomes are still applied one link after the other, in document order.
    int jobs = 1;
    int perHost = 0;  // 0: kDefaultPerHost
    bool confirm = false;
    // With keepRecords, records holds one record per link of the set once Run returns.
    bool keepRecords = false;
    std::vector<LinkRecord> records;
    // Test seams of the request machinery (no proxy, a refused name look-up), and the agent.
    LinkRequestOptions requestOptions;
    // Called by Run as it returns, after the last link (not when the requests could not be set
    // up): the Verify command saves the set here, while the progress window is still shown.
    std::function<void()> afterRun;

private:
    enum class LinkStep { Next, Stop };
    LinkStep ProcessLink(UrlEntry* entry);
    bool RestoreWorkingLink(UrlEntry* entry, const std::string& folderPath);
    const char* PutAsideFailingLink(UrlEntry* entry, const std::string& folderPath);
    RequestOutcome Request(const std::string& url, const UrlEntry* entry, bool firstTest);
    RequestOutcome RequestFromBatch(const std::string& url, const UrlEntry* entry, bool firstTest);
    void TakeBatchRecords();
    void QueueBatch();
    std::string RequestedUrl(const UrlEntry* entry) const;
    bool UsesBatch() const { return jobs > 1 || perHost > 0 || confirm; }
    void MarkModified();
    void ShowNoRequestsMessage();

    VerifyProgressView& view_;
    UrlRepairPrompt& repair_;
    Prompter& prompter_;
    bool canceled_ = false;  // Cancel is final: nothing marks the set changed after it
    std::string unverifiedName_;
    Waiter waiter_;  // outlives batch_, whose worker posts to it
    std::unique_ptr<LinkBatch> batch_;
    // With the batch: the request of each link (one per distinct URL), the link each request
    // shows in the progress window, the outcomes come so far, and the request started last.
    std::unordered_map<const UrlEntry*, unsigned> requestOf_;
    std::vector<const UrlEntry*> shownFor_;
    std::vector<std::optional<RequestOutcome>> outcomes_;
    unsigned lastStarted_ = 0;
    std::unordered_map<const UrlEntry*, std::size_t> recordOf_;
    UrlEntry* unverified_ = nullptr;
    // Links this run moved; they are never tested twice in one run.
    std::unordered_set<const UrlEntry*> moved_;
};

// What a page (or tolva-cli) hands the Verify command.
struct VerifySettings {
    UrlSetFormat format = UrlSetFormat::None;
    std::string location;
    bool renameInPlace = false;
    bool interactiveRepair = false;
    int timeoutSeconds = 0;
    int retryCount = 0;
    int jobs = 1;            // links tested at once
    int perHost = 0;         // requests at once to one host; 0: kDefaultPerHost
    bool confirm = false;    // try failing links once more after the pass
    std::string userAgent;   // empty: "Tolva"
    std::string reportPath;  // empty: no report
    bool dryRun = false;     // test and report, but never save the set
};

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
    LinkRequestOptions requestOptions;  // test seams; time-out, retries and cookies come from the run
};

enum class VerifyEnd {
    NotOpened,       // "Verify was unable to open the URL set."
    NotRead,         // "Verify was unable to read the URL set."
    NotWritable,     // the set could not be saved back, found before the first request
    CookieCanceled,  // the person cancelled the cookie warning
    NoRequests,      // the request machinery could not be set up
    NotSaved,        // the run ended but writing the set back failed
    Ran,             // the run ended and whatever was to be saved was saved
};

struct VerifyOutcome {
    VerifyEnd end = VerifyEnd::NotOpened;
    int result = 0;  // VerifyResult, or 0 when no run took place
    int tested = 0;
    int failed = 0;
    int restored = 0;
    int failingLinks = 0;
    int skipped = 0;
    bool saved = false;
    bool reportFailed = false;  // a report was asked for and could not be written
};

// The Verify button: open, read, remember the location, settle cookies, run, restore the
// cookie setting, write the summary into the status line, save a changed set, close it.
// The set is closed on every path once it was opened; storage is bound to the set.
VerifyOutcome RunVerification(SetStorage& storage, const VerifySettings& settings, const VerifyFrontEnd& frontEnd);

}  // namespace tolva
