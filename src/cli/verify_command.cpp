#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/stop_signals.h"
#include "cli/terminal.h"
#include "cli/terminal_prompts.h"
#include "platform/settings_store.h"
#include "resources/strings.h"
#include "locations/recent_locations.h"
#include "verify/curl_library.h"
#include "verify/verification_run.h"

namespace tolva::cli {

namespace {

struct VerifyOptions {
    std::string format;
    std::string location;
    int timeoutSeconds = 20;
    int retryCount = 0;
    bool renameInPlace = false;
    bool repair = false;
    std::string cookies;
};

// Exit statuses, as --help documents them.
constexpr int kExitClean = 0;
constexpr int kExitFailed = 1;
constexpr int kExitLinksFailed = 3;
constexpr int kExitStopped = 4;

int RunVerifyCommand(const VerifyOptions& options) {
    // libcurl's global set-up is not thread-safe: it happens here, before any thread starts.
    // Should the library be missing, the run reports it when it asks for the first link.
    Curl();
    Terminal terminal(stdout, stderr, IsTerminal(stdout),
                      {IDS_STATUS_READING_LINE, IDS_STATUS_LOADING_ITEM, IDS_TESTING_LINK});
    // Opening an existing set asks nothing; should anything ask, the safe answer is No.
    TerminalPrompter prompter(terminal, AnswerPolicy::No);
    StopSignals signals;
    InputLines input;

    SettingsStore& store = SettingsStore::User();
    if (!store.Load()) {
        terminal.Note("tolva-cli: the settings file " + store.Path() +
                      " cannot be read; it is left as it is, and neither recent locations nor the cookie setting "
                      "are stored.");
    }
    VerifySettings settings;
    settings.format = FormatCode(options.format);
    settings.location = options.location;
    settings.timeoutSeconds = options.timeoutSeconds;
    settings.retryCount = options.retryCount;
    settings.renameInPlace = options.renameInPlace;
    settings.interactiveRepair = options.repair;

    // The location box as the page would have it: the format's list loaded, the location typed.
    MemoryLocationBox box;
    LoadRecentLocations(store, RecentPage::Verify, settings.format, box);
    box.SetText(settings.location);

    TerminalText statusLine(terminal);
    TerminalProgressView progress(terminal, signals);
    TerminalRepair repair(terminal, signals, input);
    TerminalCookieWarning cookieWarning(terminal, signals, input, options.cookies);
    VerifyFrontEnd frontEnd;
    frontEnd.prompter = &prompter;
    frontEnd.statusLine = &statusLine;
    frontEnd.progress = &progress;
    frontEnd.repair = &repair;
    frontEnd.cookieWarning = &cookieWarning;
    frontEnd.locationBox = &box;
    frontEnd.store = &store;

    UrlSet set;
    VerifyOutcome outcome = RunVerification(set, settings, frontEnd);
    switch (outcome.end) {
        case VerifyEnd::NotOpened:
        case VerifyEnd::NotRead:
        case VerifyEnd::NotWritable:
        case VerifyEnd::NoRequests:
        case VerifyEnd::NotSaved:
            return kExitFailed;
        case VerifyEnd::CookieCanceled:
            return kExitStopped;
        case VerifyEnd::Ran:
            break;
    }
    if (outcome.result != Complete) return kExitStopped;
    return outcome.failingLinks == 0 ? kExitClean : kExitLinksFailed;
}

}  // namespace

CommandHandler AddVerifyCommand(CLI::App& app) {
    auto options = std::make_shared<VerifyOptions>();
    CLI::App* command = app.add_subcommand("verify", "Test every link of a URL set over the network");
    command->add_option("--format", options->format, std::string("Format of the set: ") + kFormatNames)
        ->required()
        ->check(CLI::IsMember({"mosaic", "netscape", "shortcuts"}));
    command->add_option("--location", options->location, "File or folder of the set; it is written back there")
        ->required();
    command
        ->add_option("--timeout", options->timeoutSeconds,
                     "Connect time-out in seconds, 0 to 120 (default 20; 0 is libcurl's own default). Each request "
                     "is given up after three times the time-out in all (" +
                         std::to_string(RequestLimitSeconds(0)) +
                         " s at 0) and then fails with \"Connection timed out\"")
        ->check(CLI::Range(0, 120));
    command->add_option("--retries", options->retryCount, "Further connection attempts, 0 to 10 (default 0)")
        ->check(CLI::Range(0, 10));
    command->add_flag("--rename-in-place", options->renameInPlace,
                      "Append the error text to a failing link's name instead of moving it to \"Unverified\"");
    command->add_flag("--repair", options->repair,
                      "For each failing link, read a line from standard input: a new URL (tested at once), an empty "
                      "line to leave the link as it is, or \"-\" to move it aside");
    command
        ->add_option("--cookies", options->cookies,
                     "Answer the cookie warning: prompt (keep being prompted), run (accept cookies during this run), "
                     "always (accept cookies from now on)")
        ->check(CLI::IsMember({"prompt", "run", "always"}));
    command->footer(
        "The cookie warning appears when the stored setting does not accept cookies; without --cookies it is asked "
        "at a terminal, and without one the second answer (run) is taken.\n"
        "Ctrl+C once stops after the link under test and saves partial results; twice (or SIGTERM, SIGHUP) "
        "cancels and saves nothing, also while the run is stopping: the save begins no sooner than a second after "
        "the first Ctrl+C, and once it has begun it is finished.\n"
        "Exit status: 0 the run completed and no link failed (a repaired link that then works does not count); 1 the "
        "run could not be done (set not opened, read or "
        "saved, no connection machinery); 2 usage error; 3 the run completed and links failed; 4 stopped early "
        "(Ctrl+C, a signal, or the cookie warning cancelled).");
    return [options] { return RunVerifyCommand(*options); };
}

}  // namespace tolva::cli
