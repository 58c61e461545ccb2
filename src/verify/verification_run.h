#pragma once
// The run that tests every link of a URL set, one after the other, moving failing links into
// "Unverified" error folders (or renaming them in place) and links that work again back to
// where they came from. The run is synchronous on the caller's thread; only the requests run
// on a worker thread (link_batch.h). The person is reached through the small interfaces
// below, which the desktop program implements with Qt dialogs, tolva-cli with the terminal and
// tests with scripted fakes. The command around it (open, read, save, report) is
// verify_command.h.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "model/url_set.h"
#include "platform/person.h"
#include "verify/link_batch.h"
#include "verify/request_options.h"
#include "verify/run_report.h"
#include "verify/verify_settings.h"
#include "verify/waiter.h"

namespace tolva {

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
    virtual VerifyResult DoModal(VerificationRun& run);
};

// "Interactive URL Repair": shows errorText, name and url, and lets the person edit newUrl
// (which starts as url). Returns kDialogOk ("Repair or Ignore", newUrl read back) or any
// other value ("Reject and Move", Escape, the close box; newUrl then left alone).
struct UrlRepairFields {
    std::string errorText;
    std::string name;
    std::string newUrl;
    std::string url;
    // An archived copy of the link found for the person, empty when none; newUrl starts as it
    // then, so that taking the proposal is one key.
    std::string archivedUrl;
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
// The run keeps a copy of the settings it was given.
class VerificationRun {
public:
    VerificationRun(UrlSet& set, const VerifySettings& settings, VerifyProgressView& view, UrlRepairPrompt& repair,
                    Prompter& prompter);
    ~VerificationRun();
    VerificationRun(const VerificationRun&) = delete;
    VerificationRun& operator=(const VerificationRun&) = delete;

    // Tests every link and returns result: Complete, Incomplete or Canceled, or NotRun when the
    // requests could not be set up at all (message "InternetOpen returned %d." shown).
    VerifyResult Run();
    // Stop and keep partial results.
    void OnOK();
    // Stop and drop the results: nothing is saved afterwards.
    void OnCancel();

    UrlSet* urlSet;
    const VerifySettings settings;
    bool running = false;
    bool modified = false;
    std::string message;         // the testing line, a link's error text, at the end the summary
    bool acceptCookies = false;  // turns the request machinery's cookie engine on
    VerifyResult result = VerifyResult::NotRun;
    VerifyCounts counts;
    // With a report or records asked for, records holds one record per link of the set once
    // Run returns.
    std::vector<LinkRecord> records;
    // Test seams of the request machinery (no proxy, a refused name look-up); the time-out,
    // retries and agent come from the settings, the cookies from acceptCookies.
    LinkRequestOptions requestOptions;
    // Called by Run as it returns, after the last link (not when the requests could not be set
    // up): the Verify command saves the set here, while the progress window is still shown.
    std::function<void()> afterRun;

private:
    enum class LinkStep { Next, Stop };
    // What the person's answer to the repair question makes of a failing link.
    enum class RepairStep { Retry, Leave, Reject };
    // A request's result: the code judged (HTTP status or error number) and the text shown.
    struct Verdict {
        long code = 0;
        std::string statusText;
    };
    bool StartRequests();
    void FindUnverified();
    std::string SummaryText() const;
    LinkStep ProcessLink(UrlEntry* entry);
    LinkRecord* RecordOf(const UrlEntry* entry);
    Verdict Judge(const RequestOutcome& outcome);
    RepairStep AskRepair(UrlEntry* entry, const std::string& name, std::string& url, const std::string& statusText,
                         const std::string& archived);
    // Notes what a request found in the link's record.
    void RecordVerdict(LinkRecord* record, const std::string& url, const RequestOutcome& outcome,
                       const Verdict& verdict) const;
    // With suggestArchive, asks the archive once for a copy of a link that failed for want of its
    // page or host; the copy's address, or empty text.
    std::string FindArchivedCopy(const UrlEntry* entry, const std::string& url, const RequestOutcome& outcome,
                                 LinkRecord* record);
    void KeepWorkingLink(UrlEntry* entry, const std::string& folderPath, bool firstTest, LinkRecord* record);
    // Gives a working link the URL its site moved it to for good, keeping the one it had.
    bool UpdateMovedLink(UrlEntry* entry, const std::string& url, const RequestOutcome& outcome, LinkRecord* record);
    void SetAsideFailingLink(UrlEntry* entry, const std::string& folderPath, bool firstTest, LinkRecord* record);
    bool RestoreWorkingLink(UrlEntry* entry, const std::string& folderPath);
    // Gives a link a rename in place had marked as failing its own name back.
    bool UndoRename(UrlEntry* entry);
    const char* PutAsideFailingLink(UrlEntry* entry, const std::string& folderPath);
    RequestOutcome Request(const std::string& url, const UrlEntry* entry, bool firstTest,
                           Redirects redirects = Redirects::Follow);
    RequestOutcome RequestFromBatch(const std::string& url, const UrlEntry* entry, bool firstTest,
                                    Redirects redirects);
    void TakeBatchRecords();
    // With many at once: how many links are done and how many are under test.
    void ShowBatchProgress();
    void QueueBatch();
    std::string RequestedUrl(const UrlEntry* entry) const;
    // Many requests at once (LinkBatch), used when any of these differs from its default: the
    // outcomes are still applied one link after the other, in document order.
    bool UsesBatch() const { return settings.jobs > 1 || settings.perHost > 0 || settings.confirm; }
    bool KeepsRecords() const { return settings.keepRecords || !settings.reportPath.empty(); }
    void MarkModified();
    void ShowNoRequestsMessage();

    VerifyProgressView& view_;
    UrlRepairPrompt& repair_;
    Prompter& prompter_;
    bool canceled_ = false;  // Cancel is final: nothing marks the set changed after it
    bool archiveUnreachable_ = false;  // the archive gave no reply once: it is not asked again this run
    std::string unverifiedName_;
    Waiter waiter_;  // outlives batch_, whose worker posts to it
    std::unique_ptr<LinkBatch> batch_;
    // With the batch: the request of each link (one per distinct URL), the link each request
    // shows in the progress window, the outcomes come so far, and the request started last.
    std::unordered_map<const UrlEntry*, unsigned> requestOf_;
    std::vector<const UrlEntry*> shownFor_;
    std::vector<std::optional<RequestOutcome>> outcomes_;
    unsigned lastStarted_ = 0;
    // For the progress window's count: the links each request serves, the links whose request
    // has come back, and the requests started and not yet back.
    std::vector<int> linksOfRequest_;
    int linksAnswered_ = 0;
    int underTest_ = 0;
    std::unordered_map<const UrlEntry*, std::size_t> recordOf_;
    UrlEntry* unverified_ = nullptr;
    // Links this run moved; they are never tested twice in one run.
    std::unordered_set<const UrlEntry*> moved_;
};

}  // namespace tolva
