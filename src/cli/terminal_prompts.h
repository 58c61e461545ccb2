#pragma once
// The verification's windows and questions at a terminal: the progress line, the repair
// question of --repair, and the cookie warning.

#include <cstddef>
#include <string>

#include "cli/stop_signals.h"
#include "cli/terminal.h"
#include "verify/verification_run.h"

namespace tolva::cli {

// The progress window on a terminal: one line that shows the link under test and its
// request's progress, rewritten in place; every failure on a line of its own.
class TerminalProgressView final : public VerifyProgressView {
public:
    // verbose: every testing line and status text on a line of its own, terminal or not.
    TerminalProgressView(Terminal& terminal, StopSignals& signals, bool verbose = false)
        : terminal_(terminal), signals_(signals), verbose_(verbose) {}
    TerminalProgressView(const TerminalProgressView&) = delete;
    TerminalProgressView& operator=(const TerminalProgressView&) = delete;

    VerifyResult DoModal(VerificationRun& run) override {
        signals_.Attach(&run);
        VerifyResult result = run.Run();
        signals_.Attach(nullptr);
        return result;
    }
    void SetTestingLine(const std::string& text) override {
        Poll();
        testingLine_ = text;
        if (verbose_) {
            terminal_.Status(text);
        } else {
            Show();
        }
    }
    void SetProgressRange(int, int) override { Poll(); }
    void SetProgressPos(int) override {}
    void SetCurrentName(const std::string&) override {}
    void SetCurrentUrl(const std::string& text) override { url_ = text; }
    void SetCurrentStatus(const std::string& text) override {
        Poll();
        status_ = text;
        if (verbose_) {
            terminal_.Status(text);
        } else {
            Show();
        }
    }
    void SetLastError(const std::string& name, const std::string& url, const std::string& text) override {
        terminal_.Status("Error: " + text + "  Name: " + name + "  URL: " + url);
    }
    void Wait(const Waiter& waiter, VerificationRun&) override;
    void BeforeSave(VerificationRun& run) override {
        // The loop is over: a first Ctrl+C from now on must not turn a complete run into a
        // stopped one, only a second one cancels the save.
        signals_.Attach(nullptr);
        if (signals_.LateCancel(terminal_, run.modified)) run.OnCancel();
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
    static std::size_t TerminalWidth();

    Terminal& terminal_;
    StopSignals& signals_;
    bool verbose_;
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

    int DoModal(UrlRepairFields& fields) override;

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

    int DoModal(int& choice) override;

private:
    int Answer(int& choice, int chosen, const std::string& why);

    Terminal& terminal_;
    StopSignals& signals_;
    InputLines& input_;
    std::string answer_;
};

}  // namespace tolva::cli
