#pragma once
// How tolva-cli verify hears Ctrl+C, SIGTERM and SIGHUP while it waits: for a reply, or for
// a line of standard input. Ctrl+C once stops like OK (partial results kept), twice like
// Cancel, also while the run is stopping; SIGTERM and SIGHUP act as Cancel at once.

#include <chrono>
#include <csignal>
#include <string>

#include "cli/terminal.h"
#include "verify/verification_run.h"

namespace tolva::cli {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The descriptor that becomes readable when a signal arrived; -1 when none could be set up.
    int Fd() const;
    // The run that stops are applied to, while one is going on.
    void Attach(VerificationRun* run) { run_ = run; }

    // Reads the signals that arrived and presses OK or Cancel on the attached run for them.
    void Collect(Terminal& terminal);
    bool Requested() const { return ok_ || cancel_; }
    bool Canceled() const { return cancel_; }
    // Presses OK or Cancel on the attached run, as often as asked: both only ever stop it.
    void Apply() const;
    // After the run, before a changed set is saved: a save after a first Ctrl+C waits until
    // kSecondInterruptWindow has passed since it, so that a second Ctrl+C within it still
    // cancels. Returns whether the run is canceled. Once this has returned, the save begins
    // and further signals are not heard: it is finished, whole.
    bool LateCancel(Terminal& terminal, bool waitForSecond);

private:
    static constexpr int kCount = 3;
    static constexpr std::chrono::milliseconds kSecondInterruptWindow{1000};
    static constexpr int kSignals[kCount] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[kCount] {};
    bool installed_ = false;
    VerificationRun* run_ = nullptr;
    int interrupts_ = 0;
    std::chrono::steady_clock::time_point firstInterrupt_;
    bool ok_ = false;
    bool cancel_ = false;
};

// Lines of standard input, read so that a stop signal interrupts the wait for them.
class InputLines {
public:
    enum class Result { Line, End, Interrupted };

    // Any stop ends the wait when anyStop is set; otherwise only Cancel does (after a first
    // Ctrl+C the person may still answer the question in hand).
    Result Read(std::string& line, StopSignals& signals, Terminal& terminal, bool anyStop);

private:
    std::string buffer_;
    bool ended_ = false;
};

}  // namespace tolva::cli
