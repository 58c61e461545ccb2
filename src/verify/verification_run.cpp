#include "verify/verification_run.h"

#include <cerrno>

#include "formats/format_codec.h"
#include "formats/format_table.h"
#include "formats/html_text.h"
#include "resources/strings.h"
#include "verify/cookie_policy.h"
#include "verify/error_texts.h"
#include "verify/request_url.h"

namespace tolva {

namespace {

// The separator between a renamed link's former name and its error text: a soft hyphen,
// which browsers do not show, between two spaces.
constexpr char kRenameSeparator[] = " \xC2\xAD ";
// Longest reason phrase taken from a reply; a longer one is replaced by the error text.
constexpr std::size_t kMaxStatusTextLength = 127;

bool InUnverified(const std::string& folderPath) { return StartsWith(folderPath, kUnverifiedPrefix); }

// A link of a kind that names no server (javascript:, mailto:, place:, file:, ...) is no dead
// link: it is left where it is. A link without a scheme or of an unknown one is still tested,
// and fails as the broken link it is, so that it can be repaired.
bool IsSkippedUrl(const std::string& url) { return IsSkippedScheme(SchemeOf(url)); }

// A repaired URL is stored as typed, less what would break the file it is saved to: line
// breaks go, surrounding white space goes, and a double quote (which ends the attribute it
// is written into) is escaped.
std::string CleanRepairedUrl(const std::string& typed) {
    std::string url;
    for (char c : typed) {
        if (c == '\r' || c == '\n') continue;
        if (c == '"') {
            url += "%22";
        } else {
            url += c;
        }
    }
    const char* white = " \t\v\f";
    std::size_t first = url.find_first_not_of(white);
    if (first == std::string::npos) return {};
    std::size_t last = url.find_last_not_of(white);
    return url.substr(first, last - first + 1);
}

}  // namespace

int VerifyProgressView::DoModal(VerificationRun& run) { return run.Run(); }

VerificationRun::VerificationRun(UrlSet& set, VerifyProgressView& view, UrlRepairPrompt& repair, Prompter& prompter)
    : urlSet(&set), view_(view), repair_(repair), prompter_(prompter) {}

VerificationRun::~VerificationRun() = default;

void VerificationRun::OnOK() {
    running = 0;
    // From the first stop on, no request starts; those under way may still end the link in hand.
    if (batch_) batch_->StopStarting();
    if (!canceled_) result = Incomplete;
}

void VerificationRun::OnCancel() {
    if (batch_) batch_->StopStarting();
    canceled_ = true;
    result = Canceled;
    running = 0;
    modified = 0;
}

void VerificationRun::MarkModified() {
    if (!canceled_) modified = 1;
}

void VerificationRun::ShowNoRequestsMessage() {
    // The number shown is the handle's value, which is null whenever this is shown.
    message = FormatString(IDS_MSG_INTERNET_OPEN, {0});
    prompter_.ShowMessage(message, LoadString(IDS_MSG_CAPTION_RUN));
}

int VerificationRun::Run() {
    LinkRequestOptions options = requestOptions;
    options.timeoutSeconds = timeoutSeconds;
    options.retryCount = retryCount;
    options.acceptCookies = acceptCookies;
    BatchOptions batch = kOneAtATime;
    if (UsesBatch()) {
        batch.jobs = jobs;
        batch.perHost = perHost > 0 ? perHost : kDefaultPerHost;
        batch.confirm = confirm;
        batch.holds = true;
    }
    batch_ = LinkBatch::Create(options, batch, waiter_);
    if (!batch_) {
        ShowNoRequestsMessage();
        result = 0;
        return result;
    }

    tested = failed = restored = failingLinks = repaired = skipped = 0;
    moved_.clear();
    urlSet->Rewind();
    unverifiedName_ = LoadString(IDS_UNVERIFIED);
    unverified_ = urlSet->FindFolder("\\" + unverifiedName_);
    if (!unverified_) {
        // A new folder goes to the very top, so nothing moved into it is reached again.
        unverified_ = urlSet->root.InsertAfter(new UrlEntry(UrlEntryKind::FolderStart, unverifiedName_));
        unverified_->InsertAfter(new UrlEntry(UrlEntryKind::FolderEnd, ""));
    }
    if (UsesBatch() || keepRecords) QueueBatch();
    view_.SetProgressRange(0, urlSet->linkCount);
    view_.SetProgressPos(0);

    running = 1;
    modified = 0;
    urlSet->Rewind();
    UrlEntry* entry = urlSet->Next();
    bool stoppedInLink = false;
    while (entry && running) {
        if (entry->GetKind() == UrlEntryKind::Link && !moved_.contains(entry)) {
            if (ProcessLink(entry) == LinkStep::Stop) {
                stoppedInLink = true;
                break;
            }
        }
        entry = urlSet->Next();
    }
    // A stop during the last link's request leaves that link untested: not complete.
    if (!entry && !stoppedInLink) result = Complete;

    // Links count by how they ended: one repaired into working order did work in the end.
    if (restored != 0 && repaired != 0) {
        message = FormatString(IDS_SUMMARY_RESTORED_REPAIRED, {tested, failingLinks, restored, repaired});
    } else if (restored != 0) {
        message = FormatString(IDS_SUMMARY_RESTORED, {tested, failingLinks, restored});
    } else if (repaired != 0) {
        message = FormatString(IDS_SUMMARY_REPAIRED, {tested, failingLinks, repaired});
    } else {
        message = FormatString(IDS_SUMMARY, {tested, failingLinks});
    }
    if (skipped != 0) message += "  " + FormatString(IDS_SUMMARY_SKIPPED, {skipped});
    batch_.reset();
    if (afterRun) afterRun();
    return result;
}

std::string VerificationRun::RequestedUrl(const UrlEntry* entry) const {
    // A bookmark file holds its URLs as HTML ("?a=1&amp;b=2"); the request is for the URL itself.
    const bool htmlText = FormatHoldsHtml(urlSet->format);
    return htmlText ? PlainFromHtml(entry->url, urlSet->charset) : entry->GetUrl();
}

void VerificationRun::QueueBatch() {
    records.clear();
    recordOf_.clear();
    requestOf_.clear();
    shownFor_.clear();
    outcomes_.clear();
    lastStarted_ = 0;
    // Each URL is asked for once, however often it occurs; its outcome serves every link.
    std::unordered_map<std::string, unsigned> requestOfUrl;
    urlSet->Rewind();
    for (UrlEntry* entry = urlSet->Next(); entry; entry = urlSet->Next()) {
        if (entry->GetKind() != UrlEntryKind::Link) continue;
        std::string url = RequestedUrl(entry);
        if (keepRecords) {
            recordOf_[entry] = records.size();
            LinkRecord record;
            record.folder = urlSet->GetFolderPath(entry);
            record.name = entry->GetName();
            record.url = url;
            records.push_back(std::move(record));
        }
        if (!UsesBatch() || IsSkippedUrl(url)) continue;
        auto [found, inserted] = requestOfUrl.try_emplace(std::move(url), 0);
        if (inserted) {
            found->second = batch_->Add(found->first);
            shownFor_.push_back(entry);
            outcomes_.emplace_back();
        }
        requestOf_[entry] = found->second;
    }
}

void VerificationRun::TakeBatchRecords() {
    for (RequestRecord& record : waiter_.Take()) {
        unsigned number = record.requestNumber;
        if (number == 0 || number > outcomes_.size()) continue;
        if (record.kind == RequestRecord::Started) {
            // The window shows the request started last, whichever link is being applied.
            lastStarted_ = number;
            const UrlEntry* shown = shownFor_[number - 1];
            view_.SetCurrentName(shown->GetName());
            view_.SetCurrentUrl(RequestedUrl(shown));
            view_.SetCurrentStatus(LoadString(IDS_STATUS_STARTING));
            continue;
        }
        if (number == lastStarted_ && !record.statusText.empty()) view_.SetCurrentStatus(record.statusText);
        if (record.kind == RequestRecord::Completion) outcomes_[number - 1] = std::move(record.outcome);
    }
}

RequestOutcome VerificationRun::RequestFromBatch(const std::string& url, const UrlEntry* entry, bool firstTest) {
    unsigned number = 0;
    if (firstTest) {
        number = requestOf_.at(entry);
    } else {
        // A repaired URL: the person waits for it, so it goes before everything queued.
        number = batch_->Add(url, true);
        shownFor_.push_back(entry);
        outcomes_.emplace_back();
    }
    for (;;) {
        TakeBatchRecords();
        if (outcomes_[number - 1]) return *outcomes_[number - 1];
        if (!running) {
            // Every transfer stops at once; the link in hand stays untested.
            batch_->Abort();
            RequestOutcome stopped;
            stopped.kind = RequestOutcome::Stopped;
            return stopped;
        }
        view_.Wait(waiter_, *this);
    }
}

RequestOutcome VerificationRun::Request(const std::string& url, const UrlEntry* entry, bool firstTest) {
    if (!running) {
        // Stopped before the request (while a repair question was open): the link stays
        // untested rather than being judged by a request that would be abandoned at once.
        RequestOutcome stopped;
        stopped.kind = RequestOutcome::Stopped;
        return stopped;
    }
    if (UsesBatch()) return RequestFromBatch(url, entry, firstTest);
    unsigned number = batch_->Add(url);
    for (;;) {
        for (RequestRecord& record : waiter_.Take()) {
            // A record of an earlier, abandoned request is of no interest any more.
            if (record.requestNumber != number) continue;
            if (!record.statusText.empty()) view_.SetCurrentStatus(record.statusText);
            if (record.kind == RequestRecord::Completion) return record.outcome;
        }
        if (!running) {
            // The request is abandoned: its reply, should one still come, is never used.
            batch_->Abort();
            RequestOutcome stopped;
            stopped.kind = RequestOutcome::Stopped;
            return stopped;
        }
        view_.Wait(waiter_, *this);
    }
}

VerificationRun::LinkStep VerificationRun::ProcessLink(UrlEntry* entry) {
    LinkRecord* record = nullptr;
    if (keepRecords) {
        auto found = recordOf_.find(entry);
        if (found != recordOf_.end()) record = &records[found->second];
    }
    if (IsSkippedUrl(entry->GetUrl())) {
        skipped += 1;
        view_.SetProgressPos(tested + skipped);
        if (record) record->action = "skipped";
        return LinkStep::Next;
    }
    tested += 1;
    message = FormatString(IDS_TESTING_LINK, {tested + skipped, urlSet->linkCount});
    view_.SetTestingLine(message);
    view_.SetProgressPos(tested + skipped);

    std::string name = entry->GetName();
    std::string url = RequestedUrl(entry);
    const std::string folderPath = urlSet->GetFolderPath(entry);
    for (bool firstTest = true;; firstTest = false) {
        if (!UsesBatch()) {
            // With the batch, the window shows each request as it starts instead.
            view_.SetCurrentName(name);
            view_.SetCurrentUrl(url);
            view_.SetCurrentStatus(LoadString(IDS_STATUS_STARTING));
        }

        RequestOutcome outcome = Request(url, entry, firstTest);
        if (outcome.kind == RequestOutcome::Stopped) {
            // A link never tested stays as it is and is not counted; one whose repaired URL
            // was not tested keeps its count from the test that failed.
            if (firstTest) tested -= 1;
            return LinkStep::Stop;
        }
        long code = 0;
        std::string statusText;
        if (outcome.kind == RequestOutcome::Reply) {
            code = outcome.httpCode;
            message = HttpErrorText(code);
            statusText = outcome.statusText;
            if (statusText.empty() || statusText.size() > kMaxStatusTextLength) statusText = message;
        } else {
            code = static_cast<long>(outcome.error);
            message = RequestErrorText(outcome.error);
        }

        if (record) {
            record->tested = true;
            record->url = url;
            record->finalUrl = outcome.finalUrl;
            record->code = code;
            record->errorText = code < 400 ? std::string() : message;
            record->elapsedMs = outcome.elapsedMs;
        }
        const std::string repairTag = firstTest ? "" : "repaired";
        if (code < 400) {
            if (!firstTest) repaired += 1;
            const bool back = RestoreWorkingLink(entry, folderPath);
            if (record)
                record->action = !back               ? (firstTest ? "kept" : repairTag)
                                 : repairTag.empty() ? "restored"
                                                     : repairTag + "+restored";
            return LinkStep::Next;
        }

        failed += 1;
        view_.SetLastError(name, url, message);
        if (interactiveRepair) {
            UrlRepairFields fields;
            fields.errorText = statusText.empty() ? message : statusText;
            fields.name = name;
            fields.url = url;
            fields.newUrl = url;
            if (repair_.DoModal(fields) == kDialogOk) {
                std::string newUrl = CleanRepairedUrl(fields.newUrl);
                // An emptied box, the same URL, or any answer after Cancel: leave the link.
                if (newUrl.empty() || newUrl == url || canceled_) {
                    failingLinks += 1;
                    if (record) record->action = firstTest ? "kept" : repairTag;
                    return LinkStep::Next;
                }
                url = newUrl;
                entry->url = FormatHoldsHtml(urlSet->format) ? HtmlFromPlain(newUrl) : newUrl;
                MarkModified();
                continue;
            }
        }
        if (running) MarkModified();
        failingLinks += 1;
        const std::string done = PutAsideFailingLink(entry, folderPath);
        if (record) {
            record->action = firstTest || done == "kept" ? repairTag : repairTag + "+";
            if (firstTest || done != "kept") record->action += done;
        }
        return LinkStep::Next;
    }
}

bool VerificationRun::RestoreWorkingLink(UrlEntry* entry, const std::string& folderPath) {
    if (!InUnverified(folderPath)) return false;
    UrlEntry* target = urlSet->FindFolder(entry->GetPreservedLocation());
    if (!target) return false;
    if (!entry->preservedName.empty()) std::swap(entry->name, entry->preservedName);
    entry->SetPreservedLocation(folderPath, ChangedByVerification);
    urlSet->SetCursor(entry->MoveAfter(target));
    moved_.insert(entry);
    restored += 1;
    MarkModified();
    return true;
}

const char* VerificationRun::PutAsideFailingLink(UrlEntry* entry, const std::string& folderPath) {
    if (renameInPlace) {
        entry->Rename(entry->GetName() + kRenameSeparator + message, ChangedByVerification);
        return "renamed";
    }
    if (InUnverified(folderPath)) return "kept";
    entry->SetPreservedLocation(folderPath.empty() ? std::string("\\") : folderPath, ChangedByVerification);
    entry->flags = LocationPreserved;
    UrlEntry* folder = urlSet->FindFolder("\\" + unverifiedName_ + "\\" + message);
    if (!folder) {
        // New error folders go first inside "Unverified", so the newest is on top.
        folder = unverified_->InsertAfter(new UrlEntry(UrlEntryKind::FolderStart, message));
        folder->InsertAfter(new UrlEntry(UrlEntryKind::FolderEnd, ""));
    }
    urlSet->SetCursor(entry->MoveAfter(folder));
    moved_.insert(entry);
    return "moved";
}

VerifyOutcome RunVerification(SetStorage& storage, const VerifySettings& settings, const VerifyFrontEnd& frontEnd) {
    UrlSet& set = storage.Set();
    VerifyOutcome outcome;
    Prompter& prompter = frontEnd.prompter ? *frontEnd.prompter : SilentPrompter::Instance();
    const std::string caption = LoadString(IDS_MSG_CAPTION_RUN);
    set.SetPrompter(&prompter);

    // A set is only ever opened empty and without a file, whatever an earlier command left.
    storage.Close();
    // The run ends by saving the set back over its file; a format that cannot be saved there
    // is refused before any link is tested, not after the whole run.
    if (CodecFor(settings.format) != nullptr && !FormatWritesBack(settings.format)) {
        prompter.ShowMessage(LoadString(IDS_VERIFY_CANNOT_SAVE_BACK), caption);
        outcome.end = VerifyEnd::NotWritable;
        return outcome;
    }
    if (!storage.Open(UrlSetOpenMode::OpenExisting, settings.format, settings.location)) {
        prompter.ShowMessage(LoadString(IDS_MSG_VERIFY_UNABLE_TO_OPEN), caption);
        storage.Close();
        outcome.end = VerifyEnd::NotOpened;
        return outcome;
    }
    if (!storage.Read(frontEnd.statusLine)) {
        prompter.ShowMessage(LoadString(IDS_MSG_VERIFY_UNABLE_TO_READ), caption);
        storage.Close();
        outcome.end = VerifyEnd::NotRead;
        return outcome;
    }
    if (frontEnd.store && frontEnd.locationBox) {
        RememberLocation(*frontEnd.store, RecentPage::Verify, settings.format, *frontEnd.locationBox,
                         settings.location);
    }
    // A set that cannot be saved back is found out now, not after every link has been tested.
    // A dry run never saves, so a read-only set may be tested and reported.
    if (!settings.dryRun && !storage.CanWriteBack()) {
        prompter.ShowMessage(LoadString(IDS_MSG_VERIFY_UNABLE_TO_SAVE), caption);
        storage.Close();
        outcome.end = VerifyEnd::NotWritable;
        return outcome;
    }

    CookiePolicy cookies(frontEnd.store);
    if (!frontEnd.cookieWarning || !cookies.Before(*frontEnd.cookieWarning)) {
        storage.Close();
        outcome.end = VerifyEnd::CookieCanceled;
        return outcome;
    }

    if (!frontEnd.progress || !frontEnd.repair) {
        storage.Close();
        outcome.end = VerifyEnd::NoRequests;
        return outcome;
    }
    VerificationRun run(set, *frontEnd.progress, *frontEnd.repair, prompter);
    run.interactiveRepair = settings.interactiveRepair ? 1 : 0;
    run.renameInPlace = settings.renameInPlace ? 1 : 0;
    run.timeoutSeconds = settings.timeoutSeconds;
    run.retryCount = settings.retryCount;
    run.acceptCookies = cookies.CookiesAccepted();
    run.requestOptions = frontEnd.requestOptions;
    run.requestOptions.userAgent = settings.userAgent;
    run.jobs = settings.jobs;
    run.perHost = settings.perHost;
    run.confirm = settings.confirm;
    run.keepRecords = !settings.reportPath.empty();
    run.modified = 0;

    // From the last chance to stop to the end of the save: the run calls this as it ends, while
    // the progress window is still up, so that the window shows the save and stays painted.
    bool finished = false;
    run.afterRun = [&] {
        finished = true;
        if (run.result != 0) frontEnd.progress->BeforeSave(run);
        cookies.After();
        const int code = run.result;
        outcome.end = code == 0 ? VerifyEnd::NoRequests : VerifyEnd::Ran;
        std::string first;
        if (code == Complete) first = LoadString(IDS_VERIFY_COMPLETE);
        if (code == Incomplete) first = LoadString(IDS_VERIFY_INCOMPLETE);
        if (code == Canceled) first = LoadString(IDS_VERIFY_CANCELED);
        std::string third = LoadString(settings.dryRun ? IDS_VERIFY_DRY_RUN
                                       : run.modified  ? IDS_VERIFY_SAVING
                                                       : IDS_VERIFY_UNCHANGED);
        if (frontEnd.statusLine) {
            frontEnd.statusLine->SetText(FormatString(IDS_VERIFY_STATUS, {first, run.message, third}));
        }
        if (!run.modified || settings.dryRun) return;
        // The entries saved are counted in the progress window, never on the status line,
        // which keeps the summary.
        if (storage.Write(frontEnd.progress->SaveStatus())) {
            outcome.saved = true;
            if (frontEnd.statusLine) {
                frontEnd.statusLine->SetText(FormatString(IDS_VERIFY_STATUS_SAVED, {first, run.message}));
            }
        } else {
            prompter.ShowMessage(LoadString(IDS_MSG_VERIFY_UNABLE_TO_SAVE), caption);
            outcome.end = VerifyEnd::NotSaved;
        }
    };
    frontEnd.progress->DoModal(run);
    // A run that could not start its requests ends without calling it.
    if (!finished) run.afterRun();
    const int code = run.result;

    outcome.result = code;
    outcome.tested = run.tested;
    outcome.failed = run.failed;
    outcome.restored = run.restored;
    outcome.failingLinks = run.failingLinks;
    outcome.skipped = run.skipped;

    if (code != 0 && !settings.reportPath.empty()) {
        // Written however the run ended, so a stopped run still tells what it found.
        ReportSummary summary;
        summary.result = code == Complete ? "complete" : code == Incomplete ? "incomplete" : "canceled";
        summary.tested = run.tested;
        summary.failed = run.failingLinks;
        summary.restored = run.restored;
        summary.skipped = run.skipped;
        summary.saved = outcome.saved;
        summary.dryRun = settings.dryRun;
        summary.text = run.message;
        if (!WriteReport(settings.reportPath, summary, run.records)) {
            int error = errno;
            prompter.ShowMessage(FormatString(IDS_MSG_VERIFY_UNABLE_TO_REPORT, {settings.reportPath, error}), caption);
            outcome.reportFailed = true;
        }
    }
    storage.Close();
    return outcome;
}

}  // namespace tolva
