#include "platform/stop_request.h"

#include <signal.h>

#include <atomic>

#include "platform/scratch_folder.h"

namespace tolva {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int kSignalCount = sizeof kStopSignals / sizeof kStopSignals[0];

std::atomic<bool> requested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");
struct sigaction previous[kSignalCount];

void OnStopSignal(int signalNumber) {
    if (!requested.exchange(true)) return;
    // Asked twice: the person wants out now.
    RemoveScratchFoldersNow();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signalNumber, &fallback, nullptr);
    ::raise(signalNumber);
}

}  // namespace

bool StopRequested() { return requested.load(); }

StopOnSignals::StopOnSignals() {
    requested = false;
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // A read or write the signal interrupts is taken up again: the step stops at its next safe
    // point, not in the middle of a system call.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kSignalCount; ++i) ::sigaction(kStopSignals[i], &action, &previous[i]);
}

StopOnSignals::~StopOnSignals() {
    for (int i = 0; i < kSignalCount; ++i) ::sigaction(kStopSignals[i], &previous[i], nullptr);
    requested = false;
}

}  // namespace tolva
