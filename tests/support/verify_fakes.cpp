#include "support/verify_fakes.h"

#include <gtest/gtest.h>
#include <poll.h>

namespace tolva::testing {

namespace {
// Every request a test makes ends well within this; longer means the run hangs.
constexpr int kWaitLimitMs = 15000;
}  // namespace

void RecordingProgressView::SetCurrentStatus(const std::string& text) {
    statuses.push_back(text);
    if (onStatus && run) onStatus(text, *run);
}

void RecordingProgressView::Wait(const Waiter& waiter, VerificationRun& verificationRun) {
    ++waits;
    run = &verificationRun;
    pollfd descriptor{waiter.Fd(), POLLIN, 0};
    int ready = poll(&descriptor, 1, kWaitLimitMs);
    if (ready <= 0) {
        ADD_FAILURE() << "the run waited longer than " << kWaitLimitMs << " ms; stopping it";
        verificationRun.OnCancel();
    }
}

int ScriptedRepair::DoModal(UrlRepairFields& fields) {
    asked.push_back(fields);
    if (onAsk) onAsk();
    if (answers.empty()) return kDialogCancel;
    RepairAnswer answer = answers.front();
    answers.pop_front();
    if (answer.code == kDialogOk && !answer.newUrl.empty()) fields.newUrl = answer.newUrl;
    return answer.code;
}

}  // namespace tolva::testing
