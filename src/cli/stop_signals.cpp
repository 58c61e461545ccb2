#include "cli/stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace tolva::cli {

namespace {

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

}  // namespace

StopSignals::StopSignals() {
    if (pipe2(gSignalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kCount; ++i) sigaction(kSignals[i], &action, &previous_[i]);
    installed_ = true;
}

StopSignals::~StopSignals() {
    if (!installed_) return;
    for (int i = 0; i < kCount; ++i) sigaction(kSignals[i], &previous_[i], nullptr);
    close(gSignalPipe[0]);
    close(gSignalPipe[1]);
    gSignalPipe[0] = gSignalPipe[1] = -1;
}

int StopSignals::Fd() const { return gSignalPipe[0]; }

void StopSignals::Collect(Terminal& terminal) {
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
                firstInterrupt_ = std::chrono::steady_clock::now();
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

bool StopSignals::LateCancel(Terminal& terminal, bool waitForSecond) {
    Collect(terminal);
    if (!waitForSecond || !ok_) return cancel_;
    const auto deadline = firstInterrupt_ + kSecondInterruptWindow;
    for (auto now = std::chrono::steady_clock::now(); !cancel_ && now < deadline;
         now = std::chrono::steady_clock::now()) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
        pollfd descriptor{Fd(), POLLIN, 0};
        poll(&descriptor, 1, static_cast<int>(left));
        Collect(terminal);
    }
    return cancel_;
}

void StopSignals::Apply() const {
    if (!run_) return;
    if (cancel_) {
        run_->OnCancel();
    } else if (ok_) {
        run_->OnOK();
    }
}

InputLines::Result InputLines::Read(std::string& line, StopSignals& signals, Terminal& terminal, bool anyStop) {
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

}  // namespace tolva::cli
