#include "verify/verification_run.h"

namespace tolva {

VerificationRun::VerificationRun(UrlSet& set, VerifyProgressView& view, UrlRepairPrompt& repair, Prompter& prompter)
    : urlSet(&set), view_(view), repair_(repair), prompter_(prompter) {}

VerificationRun::~VerificationRun() = default;

int VerificationRun::Run() { return 0; }

void VerificationRun::OnOK() {
    running = 0;
    result = Incomplete;
}

void VerificationRun::OnCancel() {
    result = Canceled;
    running = 0;
    modified = 0;
}

VerifyOutcome OnVerify(UrlSet&, const VerifySettings&, VerifyFrontEnd&, SettingsStore&) { return {}; }

}  // namespace tolva
