#pragma once
// Scripted stand-ins for the verification's person-facing interfaces: a progress view that
// records what it shows and waits on the run's descriptor (bounded), a repair prompt and a
// cookie warning that answer from a script.

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "locations/recent_locations.h"
#include "platform/settings_store.h"
#include "support/recording.h"
#include "verify/verify_command.h"

namespace tolva::testing {

class RecordingProgressView : public VerifyProgressView {
public:
    void SetTestingLine(const std::string& text) override { testingLines.push_back(text); }
    void SetProgressRange(int minimum, int maximum) override {
        rangeMin = minimum;
        rangeMax = maximum;
    }
    void SetProgressPos(int position) override { positions.push_back(position); }
    void SetCurrentName(const std::string& text) override { names.push_back(text); }
    void SetCurrentUrl(const std::string& text) override { urls.push_back(text); }
    void SetCurrentStatus(const std::string& text) override;
    void SetLastError(const std::string& name, const std::string& url, const std::string& text) override {
        lastErrors.push_back(name + " | " + url + " | " + text);
    }
    // Calls onWait (which may press OK or Cancel), then sleeps on the descriptor for at most
    // a few seconds; a wait that never ends fails the test instead of hanging it.
    void Wait(const Waiter& waiter, VerificationRun& run) override;

    // Called on every status text with the run; a test presses OK or Cancel here.
    std::function<void(const std::string& status, VerificationRun& run)> onStatus;
    VerificationRun* run = nullptr;
    VerifyResult DoModal(VerificationRun& verificationRun) override {
        run = &verificationRun;
        return VerifyProgressView::DoModal(verificationRun);
    }

    std::vector<std::string> testingLines;
    std::vector<std::string> statuses;
    std::vector<std::string> names;
    std::vector<std::string> urls;
    std::vector<std::string> lastErrors;
    std::vector<int> positions;
    int rangeMin = -1;
    int rangeMax = -1;
    int waits = 0;
};

struct RepairAnswer {
    int code = kDialogCancel;
    std::string newUrl;  // replaces the box's text when not empty
};

class ScriptedRepair : public UrlRepairPrompt {
public:
    int DoModal(UrlRepairFields& fields) override;
    std::deque<RepairAnswer> answers;    // Cancel ("Reject and Move") once used up
    std::vector<UrlRepairFields> asked;  // what each question showed
    std::function<void()> onAsk;         // runs while the question is shown
};

class ScriptedCookieWarning : public CookieWarningPrompt {
public:
    ScriptedCookieWarning(int answerCode, int answerChoice) : code(answerCode), choice(answerChoice) {}
    int DoModal(int& shownChoice) override {
        ++shown;
        preselected = shownChoice;
        if (code == kDialogOk) shownChoice = choice;
        return code;
    }
    int code;
    int choice;
    int shown = 0;
    int preselected = -1;
};

// A verification's whole front end made of the fakes: it records what the run shows and
// answers from scripts. Fixtures derive from it to use the parts by name.
struct RecordingVerifyFrontEnd {
    // The front end over these parts, keeping its lists in store; no request goes through a proxy.
    VerifyFrontEnd FrontEnd(SettingsStore& store) {
        VerifyFrontEnd frontEnd;
        frontEnd.prompter = &prompter;
        frontEnd.statusLine = &status;
        frontEnd.progress = &view;
        frontEnd.repair = &repair;
        frontEnd.cookieWarning = &cookies;
        frontEnd.locationBox = &box;
        frontEnd.store = &store;
        frontEnd.requestOptions.noProxy = "*";
        return frontEnd;
    }

    RecordingPrompter prompter;
    RecordingText status;
    RecordingProgressView view;
    ScriptedRepair repair;
    ScriptedCookieWarning cookies{kDialogOk, kCookieChoiceDuringRun};
    MemoryLocationBox box;
};

}  // namespace tolva::testing
