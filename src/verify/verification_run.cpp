#include "verify/verification_run.h"

#include <algorithm>

#include "formats/format_table.h"
#include "formats/html_text.h"
#include "formats/shortcuts.h"
#include "formats/store_fields.h"
#include "resources/strings.h"
#include "verify/archived_copy.h"
#include "verify/error_texts.h"
#include "verify/link_selection.h"
#include "verify/moved_link.h"
#include "verify/request_errors.h"
#include "verify/request_url.h"

namespace tolva {

namespace {

// The separator between a renamed link's former name and its error text: a soft hyphen,
// which browsers do not show, between two spaces.
// Longest reason phrase taken from a reply; a longer one is replaced by the error text.
constexpr std::size_t kMaxStatusTextLength = 127;

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

// A failure that says nothing of the link, only that no server could be reached.
bool ReachedNoServer(long code) {
    namespace e = request_error;
    return code == e::kNameNotResolved || code == e::kCannotConnect || code == e::kTimeout || code == e::kProxyUnreachable;
}

}  // namespace

VerifyResult VerifyProgressView::DoModal(VerificationRun& run) { return run.Run(); }

VerificationRun::VerificationRun(UrlSet& set, const VerifySettings& runSettings, VerifyProgressView& view,
                                 UrlRepairPrompt& repair, Prompter& prompter)
    : urlSet(&set), settings(runSettings), view_(view), repair_(repair), prompter_(prompter) {}

VerificationRun::~VerificationRun() = default;

void VerificationRun::OnOK() {
    running = false;
    // From the first stop on, no request starts; those under way may still end the link in hand.
    if (batch_) batch_->StopStarting();
    if (!canceled_) result = VerifyResult::Incomplete;
}

void VerificationRun::OnCancel() {
    if (batch_) batch_->StopStarting();
    canceled_ = true;
    result = VerifyResult::Canceled;
    running = false;
    modified = false;
}

void VerificationRun::MarkModified() {
    if (!canceled_) modified = true;
}

void VerificationRun::ShowNoRequestsMessage() {
    // The number shown is the handle's value, which is null whenever this is shown.
    message = FormatString(IDS_MSG_INTERNET_OPEN, {0});
    prompter_.ShowMessage(message, LoadString(IDS_MSG_CAPTION_RUN));
}

bool VerificationRun::StartRequests() {
    LinkRequestOptions options = requestOptions;
    options.timeoutSeconds = settings.timeoutSeconds;
    options.retryCount = settings.retryCount;
    options.acceptCookies = acceptCookies;
    options.userAgent = settings.userAgent;
    BatchOptions batch = kOneAtATime;
    if (UsesBatch()) {
        batch.jobs = settings.jobs;
        batch.perHost = settings.perHost > 0 ? settings.perHost : kDefaultPerHost;
        batch.confirm = settings.confirm;
        batch.holds = true;
    }
    batch_ = LinkBatch::Create(options, batch, waiter_);
    return batch_ != nullptr;
}

void VerificationRun::FindUnverified() {
    unverifiedName_ = LoadString(IDS_UNVERIFIED);
    unverified_ = urlSet->FindFolder("\\" + unverifiedName_);
    if (!unverified_) {
        // A new folder goes to the very top, so nothing moved into it is reached again.
        unverified_ = urlSet->root.InsertAfter(new UrlEntry(UrlEntryKind::FolderStart, unverifiedName_));
        unverified_->InsertAfter(new UrlEntry(UrlEntryKind::FolderEnd, ""));
    }
}

VerifyResult VerificationRun::Run() {
    if (!StartRequests()) {
        ShowNoRequestsMessage();
        result = VerifyResult::NotRun;
        return result;
    }

    counts = VerifyCounts();
    moved_.clear();
    urlSet->Rewind();
    FindUnverified();
    if (UsesBatch() || KeepsRecords()) QueueBatch();
    view_.SetProgressRange(0, urlSet->linkCount);
    view_.SetProgressPos(0);

    running = true;
    modified = false;
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
    if (!entry && !stoppedInLink) result = VerifyResult::Complete;
    message = SummaryText();
    batch_.reset();
    if (afterRun) afterRun();
    return result;
}

std::string VerificationRun::SummaryText() const {
    // Links count by how they ended: one repaired into working order did work in the end.
    const VerifyCounts& c = counts;
    std::string text;
    if (c.restored != 0 && c.repaired != 0) {
        text = FormatString(IDS_SUMMARY_RESTORED_REPAIRED,
                            {Count{c.tested}, Count{c.failingLinks}, Count{c.restored}, Count{c.repaired}});
    } else if (c.restored != 0) {
        text = FormatString(IDS_SUMMARY_RESTORED, {Count{c.tested}, Count{c.failingLinks}, Count{c.restored}});
    } else if (c.repaired != 0) {
        text = FormatString(IDS_SUMMARY_REPAIRED, {Count{c.tested}, Count{c.failingLinks}, Count{c.repaired}});
    } else {
        text = FormatString(IDS_SUMMARY, {Count{c.tested}, Count{c.failingLinks}});
    }
    if (c.updated != 0) text += "  " + FormatString(IDS_SUMMARY_UPDATED, {Count{c.updated}});
    if (const int otherSchemes = c.skipped - c.skippedAsAsked; otherSchemes != 0) {
        text += "  " + FormatString(IDS_SUMMARY_SKIPPED, {Count{otherSchemes}});
    }
    if (c.skippedAsAsked != 0) text += "  " + FormatString(IDS_SUMMARY_SKIPPED_AS_ASKED, {Count{c.skippedAsAsked}});
    return text;
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
    linksOfRequest_.clear();
    linksAnswered_ = 0;
    underTest_ = 0;
    // Each URL is asked for once, however often it occurs; its outcome serves every link.
    std::unordered_map<std::string, unsigned> requestOfUrl;
    urlSet->Rewind();
    for (UrlEntry* entry = urlSet->Next(); entry; entry = urlSet->Next()) {
        if (entry->GetKind() != UrlEntryKind::Link) continue;
        std::string url = RequestedUrl(entry);
        if (KeepsRecords()) {
            recordOf_[entry] = records.size();
            LinkRecord record;
            record.folder = urlSet->GetCurrentPath();
            record.name = entry->GetName();
            record.url = url;
            records.push_back(std::move(record));
        }
        if (!UsesBatch() || ChooseLink(settings, *entry, urlSet->GetCurrentPath(), url) != LinkChoice::Test) continue;
        auto [found, inserted] = requestOfUrl.try_emplace(std::move(url), 0);
        if (inserted) {
            found->second = batch_->Add(found->first);
            shownFor_.push_back(entry);
            outcomes_.emplace_back();
            linksOfRequest_.push_back(0);
        }
        requestOf_[entry] = found->second;
        ++linksOfRequest_[found->second - 1];
    }
}

void VerificationRun::TakeBatchRecords() {
    for (RequestRecord& record : waiter_.Take()) {
        unsigned number = record.requestNumber;
        if (number == 0 || number > outcomes_.size()) continue;
        if (record.kind == RequestRecord::Started) {
            // The window shows the request started last, whichever link is being applied.
            lastStarted_ = number;
            ++underTest_;
            ShowBatchProgress();
            const UrlEntry* shown = shownFor_[number - 1];
            view_.SetCurrentName(shown->GetName());
            view_.SetCurrentUrl(RequestedUrl(shown));
            view_.SetCurrentStatus(LoadString(IDS_STATUS_STARTING));
            continue;
        }
        if (number == lastStarted_ && !record.statusText.empty()) view_.SetCurrentStatus(record.statusText);
        if (record.kind == RequestRecord::Completion) {
            if (!outcomes_[number - 1]) {
                underTest_ = std::max(underTest_ - 1, 0);
                linksAnswered_ += number <= linksOfRequest_.size() ? linksOfRequest_[number - 1] : 0;
                ShowBatchProgress();
            }
            outcomes_[number - 1] = std::move(record.outcome);
        }
    }
}

void VerificationRun::ShowBatchProgress() {
    // The links are applied in order while later ones are already under test: the window
    // counts what is done, not the link being applied.
    const int done = std::min(linksAnswered_ + counts.skipped, urlSet->linkCount);
    view_.SetTestingLine(FormatString(IDS_TESTING_LINKS_AT_ONCE, {Count{done}, Count{urlSet->linkCount}, Count{underTest_}}));
}

RequestOutcome VerificationRun::RequestFromBatch(const std::string& url, const UrlEntry* entry, bool firstTest,
                                                 Redirects redirects) {
    unsigned number = 0;
    if (auto queued = requestOf_.find(entry); firstTest && queued != requestOf_.end()) {
        number = queued->second;
    } else {
        // A repaired URL or an archive's answer: the run waits for it, so it goes before everything queued.
        number = batch_->Add(url, true, redirects);
        shownFor_.push_back(entry);
        outcomes_.emplace_back();
        linksOfRequest_.push_back(0);
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

RequestOutcome VerificationRun::Request(const std::string& url, const UrlEntry* entry, bool firstTest,
                                        Redirects redirects) {
    if (!running) {
        // Stopped before the request (while a repair question was open): the link stays
        // untested rather than being judged by a request that would be abandoned at once.
        RequestOutcome stopped;
        stopped.kind = RequestOutcome::Stopped;
        return stopped;
    }
    if (UsesBatch()) return RequestFromBatch(url, entry, firstTest, redirects);
    unsigned number = batch_->Add(url, false, redirects);
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

LinkRecord* VerificationRun::RecordOf(const UrlEntry* entry) {
    auto found = recordOf_.find(entry);
    return found == recordOf_.end() ? nullptr : &records[found->second];
}

VerificationRun::Verdict VerificationRun::Judge(const RequestOutcome& outcome) {
    Verdict verdict;
    if (outcome.kind == RequestOutcome::Reply) {
        verdict.code = outcome.httpCode;
        message = HttpErrorText(verdict.code);
        verdict.statusText = outcome.statusText;
        if (verdict.statusText.empty() || verdict.statusText.size() > kMaxStatusTextLength) {
            verdict.statusText = message;
        }
    } else {
        verdict.code = static_cast<long>(outcome.error);
        message = RequestErrorText(outcome.error);
    }
    return verdict;
}

VerificationRun::LinkStep VerificationRun::ProcessLink(UrlEntry* entry) {
    LinkRecord* record = RecordOf(entry);
    std::string url = RequestedUrl(entry);
    const std::string folderPath = urlSet->GetCurrentPath();
    // A link left out is never asked for and stays where and as it is.
    if (const LinkChoice choice = ChooseLink(settings, *entry, folderPath, url); choice != LinkChoice::Test) {
        counts.skipped += 1;
        if (choice != LinkChoice::OtherScheme) counts.skippedAsAsked += 1;
        view_.SetProgressPos(counts.tested + counts.skipped);
        if (record) {
            record->action = "skipped";
            record->errorText = LoadString(SkipReasonId(choice));
        }
        return LinkStep::Next;
    }
    counts.tested += 1;
    if (UsesBatch()) {
        ShowBatchProgress();
    } else {
        message = FormatString(IDS_TESTING_LINK, {Count{counts.tested + counts.skipped}, Count{urlSet->linkCount}});
        view_.SetTestingLine(message);
    }
    view_.SetProgressPos(counts.tested + counts.skipped);

    const std::string name = entry->GetName();
    std::string archived;
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
            if (firstTest) counts.tested -= 1;
            return LinkStep::Stop;
        }
        const Verdict verdict = Judge(outcome);
        RecordVerdict(record, url, outcome, verdict);
        if (verdict.code < 400) {
            KeepWorkingLink(entry, folderPath, firstTest, record);
            if (UpdateMovedLink(entry, url, outcome, record) && record) {
                record->action = record->action == "kept" ? "updated" : record->action + "+updated";
            }
            return LinkStep::Next;
        }

        counts.failedTests += 1;
        if (ReachedNoServer(verdict.code)) counts.connectionFailures += 1;
        view_.SetLastError(name, url, message);
        if (firstTest) archived = FindArchivedCopy(entry, url, outcome, record);
        const RepairStep repair = settings.interactiveRepair && !ReadThroughSymbolicLink(*entry)
                                      ? AskRepair(entry, name, url, verdict.statusText, archived)
                                      : RepairStep::Reject;
        if (repair == RepairStep::Retry) continue;
        if (repair == RepairStep::Leave) {
            counts.failingLinks += 1;
            if (record) record->action = firstTest ? "kept" : "repaired";
            return LinkStep::Next;
        }
        SetAsideFailingLink(entry, folderPath, firstTest, record);
        return LinkStep::Next;
    }
}

void VerificationRun::RecordVerdict(LinkRecord* record, const std::string& url, const RequestOutcome& outcome,
                                    const Verdict& verdict) const {
    if (!record) return;
    record->tested = true;
    record->url = url;
    record->finalUrl = outcome.finalUrl;
    record->code = verdict.code;
    record->errorText = verdict.code < 400 ? std::string() : message;
    record->elapsedMs = outcome.elapsedMs;
}

std::string VerificationRun::FindArchivedCopy(const UrlEntry* entry, const std::string& url,
                                              const RequestOutcome& outcome, LinkRecord* record) {
    if (!settings.suggestArchive || archiveUnreachable_ || !WorthAnArchivedCopy(outcome)) return {};
    // The copy nearest the day the link was bookmarked is of the page the person meant to keep.
    std::optional<std::int64_t> added;
    if (const auto date = store::FindKeptAttribute(entry->extraAttributes, store::kAddDate)) {
        added = store::ParseSeconds(*date);
    }
    const std::string request = ArchiveRequestUrl(settings.archiveUrl, url, added);
    if (!UsesBatch()) {
        view_.SetCurrentUrl(request);
        view_.SetCurrentStatus(LoadString(IDS_STATUS_STARTING));
    }
    const RequestOutcome reply = Request(request, entry, false, Redirects::Read);
    // An archive that gave no reply will give none for the next dead link either.
    if (reply.kind == RequestOutcome::NoReply) archiveUnreachable_ = true;
    std::string copy = ArchivedCopyIn(reply, request);
    if (record) record->archivedUrl = copy;
    return copy;
}

VerificationRun::RepairStep VerificationRun::AskRepair(UrlEntry* entry, const std::string& name, std::string& url,
                                                       const std::string& statusText, const std::string& archived) {
    UrlRepairFields fields;
    fields.errorText = statusText.empty() ? message : statusText;
    fields.name = name;
    fields.url = url;
    fields.archivedUrl = archived;
    // An archived copy is the proposal: taking it is one key.
    fields.newUrl = archived.empty() ? url : archived;
    if (repair_.DoModal(fields) != kDialogOk) return RepairStep::Reject;
    std::string newUrl = CleanRepairedUrl(fields.newUrl);
    // An emptied box, the same URL, or any answer after Cancel: leave the link.
    if (newUrl.empty() || newUrl == url || canceled_) return RepairStep::Leave;
    entry->url = FormatHoldsHtml(urlSet->format) ? HtmlFromPlain(newUrl) : newUrl;
    url = std::move(newUrl);
    MarkModified();
    return RepairStep::Retry;
}

void VerificationRun::KeepWorkingLink(UrlEntry* entry, const std::string& folderPath, bool firstTest,
                                      LinkRecord* record) {
    if (!firstTest) counts.repaired += 1;
    const bool unrenamed = UndoRename(entry);
    const bool back = RestoreWorkingLink(entry, folderPath);
    if (unrenamed && !back) counts.restored += 1;
    if (!record) return;
    if (!back && !unrenamed) {
        record->action = firstTest ? "kept" : "repaired";
    } else {
        record->action = firstTest ? "restored" : "repaired+restored";
    }
}

bool VerificationRun::UpdateMovedLink(UrlEntry* entry, const std::string& url, const RequestOutcome& outcome,
                                      LinkRecord* record) {
    if (!settings.updateMoved || ReadThroughSymbolicLink(*entry)) return false;
    const std::string moved = MovedUrl(url, outcome);
    if (moved.empty()) return false;
    // The URL it had goes with it, so the move can be taken back and the old address found.
    std::string attributes = store::WithoutKeptAttribute(entry->extraAttributes, store::kPreservedUrl);
    store::AddKeptAttribute(attributes, store::kPreservedUrl, url);
    entry->extraAttributes = attributes;
    entry->url = FormatHoldsHtml(urlSet->format) ? HtmlFromPlain(moved) : moved;
    counts.updated += 1;
    MarkModified();
    if (record) record->finalUrl = moved;
    return true;
}

bool VerificationRun::UndoRename(UrlEntry* entry) {
    const std::string name = entry->GetName();
    const std::size_t errorText = ErrorTextAt(name);
    if ((errorText == std::string::npos && (entry->flags & NameCarriesErrorText) == 0) ||
        ReadThroughSymbolicLink(*entry)) {
        return false;
    }
    entry->name = std::string_view(name).substr(0, errorText);
    // The former name the rename kept was this name (or, from older versions, one of its renamed
    // spellings): it is no one's former name any more.
    entry->preservedName = EntryText();
    entry->flags &= ~(NamePreserved | ChangedByVerification | NameCarriesErrorText);
    MarkModified();
    return true;
}

void VerificationRun::SetAsideFailingLink(UrlEntry* entry, const std::string& folderPath, bool firstTest,
                                          LinkRecord* record) {
    if (running) MarkModified();
    counts.failingLinks += 1;
    const std::string done = PutAsideFailingLink(entry, folderPath);
    if (!record) return;
    if (firstTest) {
        record->action = done;
    } else {
        // A repaired URL that failed too: the repair stands, and so does what was done after it.
        record->action = done == "kept" ? "repaired" : "repaired+" + done;
    }
}

bool VerificationRun::RestoreWorkingLink(UrlEntry* entry, const std::string& folderPath) {
    if (!InUnverified(folderPath)) return false;
    UrlEntry* target = urlSet->FindFolder(entry->GetPreservedLocation());
    if (!target || ReadThroughSymbolicLink(*target) || ReadThroughSymbolicLink(*entry)) return false;
    if (!entry->preservedName.empty()) std::swap(entry->name, entry->preservedName);
    entry->SetPreservedLocation(folderPath, ChangedByVerification);
    urlSet->SetCursor(entry->MoveAfter(target));
    moved_.insert(entry);
    counts.restored += 1;
    MarkModified();
    return true;
}

const char* VerificationRun::PutAsideFailingLink(UrlEntry* entry, const std::string& folderPath) {
    if (ReadThroughSymbolicLink(*entry)) return "kept";
    if (settings.renameInPlace) {
        // One error text at a time: the last run's gives way to this one's, and the former name
        // kept is the name the link had before any verification renamed it.
        const std::string original(NameWithoutErrorText(entry->GetName()));
        entry->Rename(original + std::string(kErrorTextSeparator) + message, ChangedByVerification);
        entry->preservedName = original;
        entry->flags &= ~NameCarriesErrorText;
        counts.setAside += 1;
        return "renamed";
    }
    if (InUnverified(folderPath) || ReadThroughSymbolicLink(*unverified_)) return "kept";
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
    counts.setAside += 1;
    return "moved";
}

}  // namespace tolva
