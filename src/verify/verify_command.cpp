#include "verify/verify_command.h"

#include <cerrno>

#include "formats/format_codec.h"
#include "formats/format_table.h"
#include "formats/shortcuts.h"
#include "platform/atomic_replace.h"
#include "resources/strings.h"
#include "verify/cookie_policy.h"
#include "verify/link_selection.h"
#include "verify/run_report.h"

namespace tolva {

namespace {

// What the command works with from its first check to its end.
struct CommandParts {
    SetStorage& storage;
    const VerifySettings& settings;
    const VerifyFrontEnd& frontEnd;
    Prompter& prompter;
    std::string caption;

    void Show(const std::string& text) const { prompter.ShowMessage(text, caption); }
};

// The links that stay where they are whatever their test finds: shortcuts behind a symbolic
// link, which the save follows no link to move or rename.
int FixedLinkCount(const UrlSet& set) {
    int count = 0;
    for (const UrlEntry* entry = set.root.next; entry != nullptr; entry = entry->next) {
        if (entry->kind == UrlEntryKind::Link && ReadThroughSymbolicLink(*entry)) ++count;
    }
    return count;
}

// A report that would replace the set or cannot be written ends the command before the set is
// opened; finding it after the run would lose either the set or the run's findings.
bool ReportPlaceAccepted(const CommandParts& parts) {
    const VerifySettings& settings = parts.settings;
    if (settings.reportPath.empty()) return true;
    switch (CheckReportPlace(settings)) {
        case ReportPlace::Writable:
            return true;
        case ReportPlace::OverSet:
            parts.Show(FormatString(IDS_MSG_VERIFY_REPORT_OVER_SET, {settings.reportPath}));
            return false;
        case ReportPlace::NotWritable:
            break;
    }
    parts.Show(FormatString(IDS_MSG_VERIFY_UNABLE_TO_REPORT, {settings.reportPath, errno}));
    return false;
}

// Opens and reads the set and checks everything that can be checked before the first request.
// Returns false, with outcome.end saying why and the set closed, when the command ends here.
bool OpenForRun(const CommandParts& parts, VerifyOutcome& outcome) {
    SetStorage& storage = parts.storage;
    const VerifySettings& settings = parts.settings;
    // A set is only ever opened empty and without a file, whatever an earlier command left.
    storage.Close();
    // The run ends by saving the set back over its file; a format that cannot be saved there
    // is refused before any link is tested, not after the whole run.
    if (CodecFor(settings.format) != nullptr && !FormatWritesBack(settings.format)) {
        parts.Show(FormatString(IDS_VERIFY_CANNOT_SAVE_BACK, {LoadString(FormatRowOf(settings.format)->boxText)}));
        outcome.end = VerifyEnd::NotWritable;
        return false;
    }
    if (!ReportPlaceAccepted(parts)) {
        outcome.end = VerifyEnd::ReportRefused;
        return false;
    }
    if (!storage.Open(UrlSetOpenMode::OpenExisting, settings.format, settings.location)) {
        parts.Show(LoadString(IDS_MSG_VERIFY_UNABLE_TO_OPEN));
        storage.Close();
        outcome.end = VerifyEnd::NotOpened;
        return false;
    }
    if (!storage.Read(parts.frontEnd.statusLine)) {
        parts.Show(LoadString(IDS_MSG_VERIFY_UNABLE_TO_READ));
        storage.Close();
        outcome.end = VerifyEnd::NotRead;
        return false;
    }
    if (parts.frontEnd.store && parts.frontEnd.locationBox) {
        RememberLocation(*parts.frontEnd.store, RecentPage::Verify, settings.format, *parts.frontEnd.locationBox,
                         settings.location);
    }
    // A set that cannot be saved back is found out now, not after every link has been tested.
    // A dry run never saves, so a read-only set may be tested and reported.
    if (!settings.dryRun && !storage.CanWriteBack()) {
        parts.Show(LoadString(IDS_MSG_VERIFY_UNABLE_TO_SAVE));
        storage.Close();
        outcome.end = VerifyEnd::NotWritable;
        return false;
    }
    if (parts.frontEnd.notes) {
        for (const std::string& folder : FoldersNotInSet(storage.Set(), settings.skipFolders)) {
            parts.frontEnd.notes->SetText(FormatString(IDS_NOTE_NO_SKIPPED_FOLDER, {folder, settings.location}));
        }
    }
    if (const int fixed = FixedLinkCount(storage.Set()); fixed > 0) {
        parts.Show(FormatString(IDS_MSG_VERIFY_LINKS_STAY, {fixed}));
    }
    return true;
}

// Whether the run's failures say only that the network is down: enough links tested, none
// worked, and no failing request reached a server.
bool NetworkLooksDown(const VerifyCounts& counts) {
    constexpr int kFewestTested = 5;
    return counts.tested >= kFewestTested && counts.failingLinks == counts.tested &&
           counts.connectionFailures == counts.failedTests;
}

// Whether so many links would be set aside that the person should confirm it first.
bool MostLinksFail(const VerifyCounts& counts) {
    constexpr int kFewestTested = 20;
    return counts.tested >= kFewestTested && counts.setAside * 2 > counts.tested;
}

// The safety catches before a save: a run that cannot be right saves nothing.
bool SaveAllowed(const CommandParts& parts, const VerificationRun& run, VerifyOutcome& outcome) {
    if (NetworkLooksDown(run.counts)) {
        parts.Show(FormatString(IDS_MSG_VERIFY_NETWORK_DOWN, {run.counts.tested}));
        outcome.end = VerifyEnd::NetworkDown;
        return false;
    }
    if (MostLinksFail(run.counts) &&
        !parts.prompter.AskYesNo(FormatString(IDS_VERIFY_ASK_SET_ASIDE, {run.counts.setAside, run.counts.tested}),
                                 parts.caption)) {
        outcome.end = VerifyEnd::NotConfirmed;
        return false;
    }
    return true;
}

// Keeps the file as it was beside it, as a translation does before replacing a file, so that a
// verification that moved or renamed what it should not have can be taken back. The save then
// replaces the file whole, so a second name for it costs nothing. A folder of shortcuts has no
// one file to keep. False, with the reason shown, when no copy could be made: nothing is saved.
bool KeepBackup(const CommandParts& parts) {
    const FormatCodec* codec = CodecFor(parts.settings.format);
    if (!parts.settings.keepBackup || codec == nullptr || codec->storage != FormatStorage::File) return true;
    const std::string& location = parts.storage.Set().location;
    const std::string backup = location + kBackupSuffix;
    if (KeepCopy(location, backup)) return true;
    parts.Show(FormatString(IDS_ERR_KEEPING_BACKUP, {errno, backup}));
    return false;
}

// The run's end, while the progress window is still up: the summary on the status line, then
// a changed set saved (its entries counted in the window, so the status line keeps the summary).
void SummarizeAndSave(const CommandParts& parts, VerificationRun& run, VerifyOutcome& outcome) {
    const VerifyFrontEnd& frontEnd = parts.frontEnd;
    outcome.end = run.result == VerifyResult::NotRun ? VerifyEnd::NoRequests : VerifyEnd::Ran;
    std::string first;
    if (run.result == VerifyResult::Complete) first = LoadString(IDS_VERIFY_COMPLETE);
    if (run.result == VerifyResult::Incomplete) first = LoadString(IDS_VERIFY_INCOMPLETE);
    if (run.result == VerifyResult::Canceled) first = LoadString(IDS_VERIFY_CANCELED);
    const bool save = run.modified && !parts.settings.dryRun && SaveAllowed(parts, run, outcome);
    const int third = parts.settings.dryRun                    ? IDS_VERIFY_DRY_RUN
                      : save                                   ? IDS_VERIFY_SAVING
                      : outcome.end == VerifyEnd::NotConfirmed ? IDS_VERIFY_SET_ASIDE_DECLINED
                                                               : IDS_VERIFY_UNCHANGED;
    if (frontEnd.statusLine) {
        frontEnd.statusLine->SetText(FormatString(IDS_VERIFY_STATUS, {first, run.message, LoadString(third)}));
    }
    if (!save) return;
    if (!KeepBackup(parts)) {
        outcome.end = VerifyEnd::NotSaved;
        return;
    }
    if (parts.storage.Write(frontEnd.progress->SaveStatus())) {
        outcome.saved = true;
        if (frontEnd.statusLine) {
            frontEnd.statusLine->SetText(FormatString(IDS_VERIFY_STATUS_SAVED, {first, run.message}));
        }
    } else {
        parts.Show(LoadString(IDS_MSG_VERIFY_UNABLE_TO_SAVE));
        outcome.end = VerifyEnd::NotSaved;
    }
}

// Written however the run ended, so a stopped run still tells what it found.
void WriteRunReport(const CommandParts& parts, const VerificationRun& run, VerifyOutcome& outcome) {
    const VerifySettings& settings = parts.settings;
    if (run.result == VerifyResult::NotRun || settings.reportPath.empty()) return;
    ReportSummary summary;
    summary.result = run.result;
    summary.counts = run.counts;
    summary.saved = outcome.saved;
    summary.text = run.message;
    if (!WriteReport(settings, summary, run.records)) {
        const int error = errno;
        parts.Show(FormatString(IDS_MSG_VERIFY_UNABLE_TO_REPORT, {settings.reportPath, error}));
        outcome.reportFailed = true;
    }
}

}  // namespace

VerifyOutcome RunVerification(SetStorage& storage, const VerifySettings& settings, const VerifyFrontEnd& frontEnd) {
    UrlSet& set = storage.Set();
    VerifyOutcome outcome;
    Prompter& prompter = frontEnd.prompter ? *frontEnd.prompter : SilentPrompter::Instance();
    set.SetPrompter(&prompter);
    const CommandParts parts{storage, settings, frontEnd, prompter, LoadString(IDS_MSG_CAPTION_RUN)};
    if (!OpenForRun(parts, outcome)) return outcome;

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
    VerificationRun run(set, settings, *frontEnd.progress, *frontEnd.repair, prompter);
    run.acceptCookies = cookies.CookiesAccepted();
    run.requestOptions = frontEnd.requestOptions;

    // From the last chance to stop to the end of the save: the run calls this as it ends, while
    // the progress window is still up, so that the window shows the save and stays painted.
    bool finished = false;
    run.afterRun = [&] {
        finished = true;
        if (run.result != VerifyResult::NotRun) frontEnd.progress->BeforeSave(run);
        cookies.After();
        SummarizeAndSave(parts, run, outcome);
    };
    frontEnd.progress->DoModal(run);
    // A run that could not start its requests ends without calling it.
    if (!finished) run.afterRun();

    outcome.result = run.result;
    outcome.counts = run.counts;
    WriteRunReport(parts, run, outcome);
    outcome.summary = run.message;
    outcome.records = std::move(run.records);
    storage.Close();
    return outcome;
}

}  // namespace tolva
