#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "cli/terminal.h"
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

std::int32_t FormatCode(const std::string& name) {
    if (name == "mosaic") return Mosaic;
    if (name == "netscape") return Netscape;
    if (name == "shortcuts") return Shortcuts;
    return kFormatNone;
}

// Exit statuses, as --help documents them.
constexpr int kExitClean = 0;
constexpr int kExitFailed = 1;
constexpr int kExitLinksFailed = 3;
constexpr int kExitStopped = 4;

// Signals reach the command through a pipe, so that the waits (poll on the request's
// descriptor, or on standard input) wake up for them and act on the run's own thread.
int gSignalPipe[2] = {-1, -1};
// Set with every signal, so that the frequent checks between requests cost no system call.
volatile std::sig_atomic_t gSignalPending = 0;

extern "C" void OnStopSignal(int number) {
    int saved = errno;
    gSignalPending = 1;
    unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] ssize_t written = write(gSignalPipe[1], &byte, 1);
    errno = saved;
}

class StopSignals {
public:
    StopSignals() {
        if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
        struct sigaction action {};
        action.sa_handler = OnStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int i = 0; i < kCount; ++i) sigaction(kSignals[i], &action, &previous_[i]);
        installed_ = true;
    }
    ~StopSignals() {
        if (!installed_) return;
        for (int i = 0; i < kCount; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
        close(gSignalPipe[0]);
        close(gSignalPipe[1]);
        gSignalPipe[0] = gSignalPipe[1] = -1;
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    int Fd() const { return gSignalPipe[0]; }
    // The run that stops are applied to, while one is going on.
    void Attach(VerificationRun* run) { run_ = run; }

    // Reads the signals that arrived. Ctrl+C once stops like OK (partial results kept),
    // twice like Cancel; SIGTERM and SIGHUP act as Cancel at once.
    void Collect(Terminal& terminal) {
        if (!installed_) return;
        if (!gSignalPending) {
            Apply();
            return;
        }
        gSignalPending = 0;
        unsigned char bytes[16];
        ssize_t got;
        while ((got = read(gSignalPipe[0], bytes, sizeof bytes)) > 0) {
            for (ssize_t i = 0; i < got; ++i) {
                if (bytes[i] == SIGINT && ++interrupts_ == 1) {
                    if (!cancel_) {
                        ok_ = true;
                        terminal.Note(
                            "tolva-cli: stopping after this link; partial results will be saved. "
                            "Press Ctrl+C again to cancel and save nothing.");
                    }
                } else if (!cancel_) {
                    cancel_ = true;
                    terminal.Note("tolva-cli: canceled; the URL set will not be changed.");
                }
            }
        }
        Apply();
    }
    bool Requested() const { return ok_ || cancel_; }
    bool Canceled() const { return cancel_; }
    // Presses OK or Cancel on the attached run, as often as asked: both only ever stop it.
    void Apply() const {
        if (!run_) return;
        if (cancel_) {
            run_->OnCancel();
        } else if (ok_) {
            run_->OnOK();
        }
    }

private:
    static constexpr int kCount = 3;
    static constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[kCount] {};
    bool installed_ = false;
    VerificationRun* run_ = nullptr;
    int interrupts_ = 0;
    bool ok_ = false;
    bool cancel_ = false;
};

// Lines of standard input, read so that a stop signal interrupts the wait for them.
class InputLines {
public:
    enum class Result { Line, End, Interrupted };

    // Any stop ends the wait when anyStop is set; otherwise only Cancel does (after a first
    // Ctrl+C the person may still answer the question in hand).
    Result Read(std::string& line, StopSignals& signals, Terminal& terminal, bool anyStop) {
        line.clear();
        for (;;) {
            std::size_t newline = buffer_.find('\n');
            if (newline != std::string::npos) {
                line = buffer_.substr(0, newline);
                buffer_.erase(0, newline + 1);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                return Result::Line;
            }
            if (ended_) {
                if (buffer_.empty()) return Result::End;
                line.swap(buffer_);
                return Result::Line;
            }
            pollfd descriptors[2] = {{STDIN_FILENO, POLLIN, 0}, {signals.Fd(), POLLIN, 0}};
            int count = signals.Fd() >= 0 ? 2 : 1;
            if (poll(descriptors, count, -1) < 0 && errno != EINTR) return Result::End;
            if (count == 2 && (descriptors[1].revents & POLLIN)) {
                signals.Collect(terminal);
                if (anyStop ? signals.Requested() : signals.Canceled()) return Result::Interrupted;
            }
            if (descriptors[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                char chunk[4096];
                ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
                if (got < 0 && errno == EINTR) continue;
                if (got <= 0) {
                    ended_ = true;
                } else {
                    buffer_.append(chunk, static_cast<std::size_t>(got));
                }
            }
        }
    }

private:
    std::string buffer_;
    bool ended_ = false;
};

// The progress window on a terminal: one line that shows the link under test and its
// request's progress, rewritten in place; every failure on a line of its own.
class TerminalProgressView final : public VerifyProgressView {
public:
    TerminalProgressView(Terminal& terminal, StopSignals& signals) : terminal_(terminal), signals_(signals) {}
    TerminalProgressView(const TerminalProgressView&) = delete;
    TerminalProgressView& operator=(const TerminalProgressView&) = delete;

    int DoModal(VerificationRun& run) override {
        signals_.Attach(&run);
        int result = run.Run();
        signals_.Attach(nullptr);
        return result;
    }
    void SetTestingLine(const std::string& text) override {
        Poll();
        testingLine_ = text;
        Show();
    }
    void SetProgressRange(int, int) override { Poll(); }
    void SetProgressPos(int) override {}
    void SetCurrentName(const std::string&) override {}
    void SetCurrentUrl(const std::string& text) override { url_ = text; }
    void SetCurrentStatus(const std::string& text) override {
        Poll();
        status_ = text;
        Show();
    }
    void SetLastError(const std::string& name, const std::string& url, const std::string& text) override {
        terminal_.Status("Error: " + text + "  Name: " + name + "  URL: " + url);
    }
    void Wait(const Waiter& waiter, VerificationRun&) override {
        pollfd descriptors[2] = {{waiter.Fd(), POLLIN, 0}, {signals_.Fd(), POLLIN, 0}};
        int count = signals_.Fd() >= 0 ? 2 : 1;
        poll(descriptors, count, -1);
        // Collect also presses OK or Cancel on the run for any stop that arrived.
        signals_.Collect(terminal_);
    }

private:
    // Stops that arrived while the run was busy elsewhere take effect here (a stop that came
    // before the run set itself going is pressed again once it runs).
    void Poll() { signals_.Collect(terminal_); }
    // One line only: a line that wraps could not be rewritten in place.
    void Show() {
        std::string line = testingLine_ + "  " + status_ + "  " + url_;
        if (line.size() > width_) line.resize(width_);
        terminal_.Status(line);
    }
    static std::size_t TerminalWidth() {
        winsize size{};
        if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col - 1;
        return 79;
    }

    Terminal& terminal_;
    StopSignals& signals_;
    std::string testingLine_;
    std::string status_;
    std::string url_;
    std::size_t width_ = TerminalWidth();
};

// --repair: each failing link is shown and one line is read. A different URL repairs (and
// is tested again), an empty line or the same URL leaves the link alone, "-" or the end of
// the input lets the run move or rename it.
class TerminalRepair final : public UrlRepairPrompt {
public:
    TerminalRepair(Terminal& terminal, StopSignals& signals, InputLines& input)
        : terminal_(terminal), signals_(signals), input_(input) {}

    int DoModal(UrlRepairFields& fields) override {
        const std::string caption = LoadString(IDS_REPAIR_GROUP);
        terminal_.Message("\n  Error: " + fields.errorText + "\n  Name: " + fields.name + "\n  URL: " + fields.url,
                          caption);
        terminal_.Note("New URL (Enter keeps the link as it is, \"-\" moves it aside):");
        std::string line;
        switch (input_.Read(line, signals_, terminal_, false)) {
            case InputLines::Result::Line:
                break;
            case InputLines::Result::End:
                return kDialogCancel;
            case InputLines::Result::Interrupted:
                // Canceled while the question is open: the link stays as it is.
                return kDialogOk;
        }
        if (line == "-") return kDialogCancel;
        if (!line.empty()) fields.newUrl = line;
        return kDialogOk;
    }

private:
    Terminal& terminal_;
    StopSignals& signals_;
    InputLines& input_;
};

// The cookie warning: answered by --cookies, or asked at a terminal, or given its
// preselected answer when nobody can be asked.
class TerminalCookieWarning final : public CookieWarningPrompt {
public:
    TerminalCookieWarning(Terminal& terminal, StopSignals& signals, InputLines& input, const std::string& answer)
        : terminal_(terminal), signals_(signals), input_(input), answer_(answer) {}

    int DoModal(int& choice) override {
        terminal_.Message(LoadString(IDS_COOKIE_WARNING), LoadString(IDS_MSG_CAPTION_RUN));
        if (answer_ == "prompt") return Answer(choice, kCookieChoicePrompt, "(--cookies prompt)");
        if (answer_ == "run") return Answer(choice, kCookieChoiceDuringRun, "(--cookies run)");
        if (answer_ == "always") return Answer(choice, kCookieChoiceAlways, "(--cookies always)");
        if (!IsTerminal(stdin)) {
            return Answer(choice, choice, "(no terminal to ask; choose with --cookies prompt|run|always)");
        }
        terminal_.Note(LoadString(IDS_COOKIE_QUESTION));
        const int ids[] = {IDS_COOKIE_CHOICE_PROMPT, IDS_COOKIE_CHOICE_DURING_RUN, IDS_COOKIE_CHOICE_ALWAYS};
        for (int i = 0; i < 3; ++i) {
            terminal_.Note("  " + std::to_string(i + 1) + ". " + LoadString(ids[i]) +
                           (i == choice ? " (default)" : ""));
        }
        for (;;) {
            terminal_.Note("Choose 1, 2 or 3 (end of input cancels):");
            std::string line;
            if (input_.Read(line, signals_, terminal_, true) != InputLines::Result::Line) return kDialogCancel;
            if (line.empty()) return kDialogOk;
            if (line == "1" || line == "2" || line == "3") {
                choice = line[0] - '1';
                return kDialogOk;
            }
        }
    }

private:
    int Answer(int& choice, int chosen, const std::string& why) {
        static const int ids[] = {IDS_COOKIE_CHOICE_PROMPT, IDS_COOKIE_CHOICE_DURING_RUN, IDS_COOKIE_CHOICE_ALWAYS};
        choice = chosen;
        terminal_.Note("Answered \"" + LoadString(ids[chosen]) + "\" " + why + ".");
        return kDialogOk;
    }

    Terminal& terminal_;
    StopSignals& signals_;
    InputLines& input_;
    std::string answer_;
};

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
    VerifyOutcome outcome = OnVerify(set, settings, frontEnd);
    switch (outcome.end) {
        case VerifyEnd::NotOpened:
        case VerifyEnd::NotRead:
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
    command->add_option("--format", options->format, "Format of the set: mosaic, netscape, shortcuts")
        ->required()
        ->check(CLI::IsMember({"mosaic", "netscape", "shortcuts"}));
    command->add_option("--location", options->location, "File or folder of the set; it is written back there")
        ->required();
    command->add_option("--timeout", options->timeoutSeconds, "Connect time-out in seconds, 0 to 120 (default 20)")
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
        "cancels and saves nothing.\n"
        "Exit status: 0 the run completed and no link failed (a repaired link that then works does not count); 1 the "
        "run could not be done (set not opened, read or "
        "saved, no connection machinery); 2 usage error; 3 the run completed and links failed; 4 stopped early "
        "(Ctrl+C, a signal, or the cookie warning cancelled).");
    return [options] { return RunVerifyCommand(*options); };
}

}  // namespace tolva::cli
