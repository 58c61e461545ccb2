#include "verify/verify_command.h"

#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/format_options.h"
#include "cli/stop_signals.h"
#include "cli/terminal.h"
#include "cli/terminal_prompts.h"
#include "formats/format_table.h"
#include "locations/recent_locations.h"
#include "platform/settings_store.h"
#include "resources/strings.h"
#include "verify/archived_copy.h"
#include "verify/curl_library.h"

namespace tolva::cli {

namespace {

// The flags bind straight to the settings the command is handed; only the format's name, the
// cookie answer and --verbose are the terminal's own.
struct VerifyOptions {
    VerifyOptions() { settings.timeoutSeconds = 20; }
    VerifySettings settings;
    std::string format;
    std::string cookies;
    bool verbose = false;
    bool noBackup = false;
    bool yes = false;
    bool no = false;
};

// Exit statuses, as --help documents them.
constexpr int kExitClean = 0;
constexpr int kExitFailed = 1;
constexpr int kExitLinksFailed = 3;
constexpr int kExitStopped = 4;

int RunVerifyCommand(VerifyOptions options) {
    // libcurl's global set-up is not thread-safe: it happens here, before any thread starts.
    // Should the library be missing, the run reports it when it asks for the first link.
    Curl();
    // --verbose prints every testing line as a line of its own, so it is no counter then.
    Terminal terminal(stdout, stderr, IsTerminal(stdout),
                      options.verbose ? std::initializer_list<int>{IDS_STATUS_READING_LINE, IDS_STATUS_LOADING_ITEM}
                                      : std::initializer_list<int>{IDS_STATUS_READING_LINE, IDS_STATUS_LOADING_ITEM,
                                                                   IDS_TESTING_LINK});
    // The one question is whether to save a run in which most links failed; its No saves nothing.
    TerminalPrompter prompter(terminal, options.yes  ? AnswerPolicy::Yes
                                        : options.no ? AnswerPolicy::No
                                                     : AnswerPolicy::AskElseNo);
    VerifySettings& settings = options.settings;
    settings.keepBackup = !options.noBackup;
    if (!GuessMissingFormat(terminal, options.format, settings.location, true, "--format")) return kUsageError;
    StopSignals signals;
    InputLines input;

    SettingsStore& store = SettingsStore::User();
    if (!store.Load()) {
        terminal.Note("tolva-cli: the settings file " + store.Path() +
                      " cannot be read; it is left as it is, and neither recent locations nor the cookie setting "
                      "are stored.");
    }
    settings.format = FormatNamed(options.format);

    // The location box as the page would have it: the format's list loaded, the location typed.
    MemoryLocationBox box;
    LoadRecentLocations(store, RecentPage::Verify, settings.format, box);
    box.SetText(settings.location);

    TerminalText statusLine(terminal);
    TerminalNote notes(terminal);
    TerminalProgressView progress(terminal, signals, options.verbose);
    TerminalRepair repair(terminal, signals, input);
    TerminalCookieWarning cookieWarning(terminal, signals, input, options.cookies);
    VerifyFrontEnd frontEnd;
    frontEnd.prompter = &prompter;
    frontEnd.statusLine = &statusLine;
    frontEnd.notes = &notes;
    frontEnd.progress = &progress;
    frontEnd.repair = &repair;
    frontEnd.cookieWarning = &cookieWarning;
    frontEnd.locationBox = &box;
    frontEnd.store = &store;

    UrlSet set;
    SetStorage storage(set);
    VerifyOutcome outcome = RunVerification(storage, settings, frontEnd);
    switch (outcome.end) {
        case VerifyEnd::NotOpened:
        case VerifyEnd::NotRead:
        case VerifyEnd::NotWritable:
        case VerifyEnd::NoRequests:
        case VerifyEnd::NotSaved:
        case VerifyEnd::NetworkDown:
            return kExitFailed;
        case VerifyEnd::ReportRefused:
            return kUsageError;
        case VerifyEnd::CookieCanceled:
        case VerifyEnd::NotConfirmed:
            return kExitStopped;
        case VerifyEnd::Ran:
            break;
    }
    if (outcome.reportFailed) return kExitFailed;
    if (outcome.result != VerifyResult::Complete) return kExitStopped;
    return outcome.counts.failingLinks == 0 ? kExitClean : kExitLinksFailed;
}

// The set, how its links are asked for, and what becomes of a failing one. CLI11 lists the
// options in the order they are added, so each group adds its own in --help's order.
void AddRunOptions(CLI::App* command, VerifyOptions& options) {
    command
        ->add_option("--format", options.format,
                     std::string("Format of the set: ") + FormatNameList() +
                         "; left out, it is guessed from the location's name or first bytes")
        ->check(CLI::IsMember(FormatNames()));
    command->add_option("--location", options.settings.location, "File or folder of the set; it is written back there")
        ->required();
    command
        ->add_option("--timeout", options.settings.timeoutSeconds,
                     "Connect time-out in seconds, 0 to 120 (default 20; 0 is libcurl's own default). Each request "
                     "is given up after three times the time-out in all (" +
                         std::to_string(RequestLimitSeconds(0)) +
                         " s at 0) and then fails with \"Connection timed out\"")
        ->check(CLI::Range(0, 120));
    command->add_option("--retries", options.settings.retryCount, "Further connection attempts, 0 to 10 (default 0)")
        ->check(CLI::Range(0, 10));
    command->add_flag("--rename-in-place", options.settings.renameInPlace,
                      "Append the error text to a failing link's name instead of moving it to \"Unverified\"");
    command->add_flag("--repair", options.settings.interactiveRepair,
                      "For each failing link, read a line from standard input: a new URL (tested at once), an empty "
                      "line to leave the link as it is, or \"-\" to move it aside");
    command
        ->add_option("--cookies", options.cookies,
                     "Answer the cookie warning: prompt (keep being prompted), run (accept cookies during this run), "
                     "always (accept cookies from now on)")
        ->check(CLI::IsMember({"prompt", "run", "always"}));
    command->add_option("--jobs", options.settings.jobs, "Links tested at once, 1 to 64 (default 1)")
        ->check(CLI::Range(1, 64));
    command
        ->add_option("--per-host", options.settings.perHost,
                     "Requests at once to one host (name and port), 1 to 64 (default 2). A 429 or 503 reply whose "
                     "Retry-After ends within the 60 s a host may be waited for in a run holds that host until then, "
                     "and the link is asked once more; a longer Retry-After is not waited for and the reply is the "
                     "link's verdict. A link answered 429 or 503 again after a hold fails, and its host is not held "
                     "again. (One link at a time, the default, never holds: every reply is its link's verdict.)")
        ->check(CLI::Range(1, 64));
    command->add_flag("--confirm", options.settings.confirm,
                      "Try links that failed with a time-out, a refused or reset connection, 403, 408, 429 or 5xx once "
                      "more after all others (a 403 with a browser's headers); only links that fail again are moved "
                      "or renamed");
    command->add_option("--user-agent", options.settings.userAgent, "The User-Agent of every request (default Tolva)");
}

// What the run leaves behind: the report, the saved set and its copy.
void AddOutcomeOptions(CLI::App* command, VerifyOptions& options) {
    command->add_option("--report", options.settings.reportPath,
                        "Write one record per link to FILE: JSON when it ends in .json, CSV otherwise");
    command->add_flag("--dry-run", options.settings.dryRun, "Test every link and report, but never save the URL set");
    command->add_flag("--update-moved", options.settings.updateMoved,
                      "Give a link that moved permanently (301 or 308 redirects only, ending in a working page) its "
                      "new URL, keeping the former one with it; never to a site's front page (unless it was one), a "
                      "page that looks like a log-in, or from https to http");
    command->add_flag("--no-backup", options.noBackup,
                      "Save a changed bookmark file, hotlist or XBEL file without first keeping the file as it was "
                      "beside it as NAME.bak");
    CLI::Option* archive = command->add_flag(
        "--suggest-archive", options.settings.suggestArchive,
        "Look for an archived copy of dead links: for a link that failed with 404, 410, host not found or cannot "
        "connect, ask the archive once for its copy nearest the link's ADD_DATE (else its latest), and name it in "
        "the report and as the proposed URL of --repair");
    command
        ->add_option("--archive-url", options.settings.archiveUrl,
                     std::string("The web archive asked by --suggest-archive (default ") + kDefaultArchiveUrl + ")")
        ->type_name("URL")
        ->needs(archive)
        ->check(CLI::Validator(
            [](const std::string& url) {
                return url.starts_with("http://") || url.starts_with("https://")
                           ? std::string()
                           : std::string("an archive's address starts with http:// or https://");
            },
            "", "ArchiveUrl"));
}

// Which links are asked for at all.
void AddSelectionOptions(CLI::App* command, VerifyOptions& options) {
    command->add_flag("--only-unverified", options.settings.onlyUnverified,
                      "Test only the links in \"Unverified\" and those renamed in place; no other link is asked for "
                      "or changed");
    command
        ->add_option("--skip", options.settings.skipPatterns,
                     "Never ask for a link whose URL matches PATTERN (a shell pattern over the whole URL: * also "
                     "spans slashes, as in \"*://old.example.com/*\"); such links stay as they are and count as "
                     "skipped. May be given more than once")
        ->type_name("PATTERN")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    command
        ->add_option("--skip-folder", options.settings.skipFolders,
                     "Never ask for the links in the folder PATH, written from the top with backslashes "
                     "('\\Work\\Old', quoted for the shell), nor in the folders it holds; they stay as they are "
                     "and count as skipped. May be given more than once")
        ->type_name("PATH")
        ->expected(1)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->check(CLI::Validator(
            [](const std::string& path) {
                return path.starts_with('\\') ? std::string()
                                              : std::string("a folder path starts with a backslash: \\Work\\Old");
            },
            "", "FolderPath"));
}

// How the terminal shows the run and answers its one question, and the notes under the options.
void AddTerminalOptions(CLI::App* command, VerifyOptions& options) {
    command->add_flag("--verbose", options.verbose, "Print every status text of the run on a line of its own");
    CLI::Option* yes = command->add_flag(
        "--yes", options.yes, "When more than half of the links tested (of 20 or more) failed, move them all the same");
    command->add_flag("--no", options.no, "When more than half of the links tested (of 20 or more) failed, save nothing")
        ->excludes(yes);
    command->footer(
        "The cookie warning appears when the stored setting does not accept cookies; without --cookies it is asked "
        "at a terminal, and without one the second answer (run) is taken.\n"
        "Ctrl+C once stops after the link under test and saves partial results; twice (or SIGTERM, SIGHUP) "
        "cancels and saves nothing, also while the run is stopping: the save begins no sooner than a second after "
        "the first Ctrl+C, and once it has begun it is finished.\n"
        "When at least five links were tested and every one failed for want of a connection (host not found, cannot "
        "connect, time-out), the network is taken to be down and nothing is saved. When more than half of the "
        "links tested (of 20 or more) failed, the run asks before moving or renaming them; without --yes or --no "
        "it asks at a terminal, and without one it saves nothing.\n"
        "Exit status: 0 the run completed and no link failed (a repaired link that then works does not count); 1 the "
        "run could not be done (set not opened, read or "
        "saved, no connection machinery, the network unreachable); 2 usage error; 3 the run completed and links "
        "failed; 4 stopped early "
        "(Ctrl+C, a signal, the cookie warning cancelled, or failing links not confirmed: nothing saved).");
}

}  // namespace

CommandHandler AddVerifyCommand(CLI::App& app) {
    auto options = std::make_shared<VerifyOptions>();
    CLI::App* command = app.add_subcommand("verify", "Test every link of a URL set over the network");
    AddRunOptions(command, *options);
    AddOutcomeOptions(command, *options);
    AddSelectionOptions(command, *options);
    AddTerminalOptions(command, *options);
    return [options] { return RunVerifyCommand(*options); };
}

}  // namespace tolva::cli
