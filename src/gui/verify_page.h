#pragma once
// The Verify tab: which URL set to verify, what to do with bad links, the connection time-out
// and retries, and the Verify button, which hands all that to the Verify command. The page
// owns the set a verification works on.

#include <cstdint>
#include <string>

#include "formats/set_storage.h"
#include "gui/property_sheet.h"
#include "locations/store_locations.h"
#include "model/url_set.h"
#include "platform/person.h"
#include "platform/settings_store.h"
#include "verify/request_options.h"
#include "verify/verify_settings.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

namespace tolva {

class LocationCombo;
class VerificationRun;
class CVerifyResults;
struct VerifyOutcome;

class CVerify final : public PropertyPage {
public:
    CVerify(SettingsStore& store, Prompter& prompter, QWidget* parent = nullptr);

    void WriteForm() override;
    bool ReadForm() override;
    // Verifies when a format and location are given; else puts the focus on the first gap.
    void OnEnter() override;

    void OnFormatChanged();
    // The chooser of the chosen format; a location chosen is taken as a dropped one is.
    void OnBrowse();
    // A file or folder dropped onto the location box; the format follows when the location says
    // which it is and the box offers it.
    void OnDrop(const std::string& dropped);
    void OnVerify();
    // Shows the results window of the last verification again.
    void OnShowResults();
    // The results window of the last verification; null before the first.
    CVerifyResults* ResultsWindow() const { return results_; }

    // The form's values, handed whole to the Verify command. WriteForm shows the set and the
    // bad-link options; ReadForm takes everything back from the controls (the time-out,
    // retries, links at once, confirmation, moved links and backup live in their controls, which the page's stored
    // options fill).
    VerifySettings settings;
    // Where the browsers' stores are looked for; tests point it elsewhere.
    StorePlaces places = StorePlaces::OfPerson();
    UrlSet verifiedSet;
    SetStorage verifiedStorage{verifiedSet};

    // Handed to the request machinery of each run; tests keep loopback requests off proxies.
    LinkRequestOptions requestOptions;

private:
    void MakeControls();
    void LayOut();
    void Connect();
    void OnLocationTyped();
    void ShowOutcome(const VerifyOutcome& outcome);
    void ShowSliderValues();
    void LoadRunOptions();
    void RememberRunOptions();

    SettingsStore& store_;
    Prompter& prompter_;
    QPushButton* browse_;
    QPushButton* verify_;
    QPushButton* showResults_;
    CVerifyResults* results_ = nullptr;
    QComboBox* formatBox_;
    LocationCombo* locationBox_;
    QCheckBox* interactiveBox_;
    QCheckBox* renameBox_;
    QCheckBox* confirmBox_;
    QCheckBox* updateMovedBox_;
    QCheckBox* archiveBox_;
    QCheckBox* backupBox_;
    QCheckBox* onlyUnverifiedBox_;
    QLineEdit* skipBox_;
    QSpinBox* jobsBox_;
    QSlider* timeoutSlider_;
    QSlider* retriesSlider_;
    QLabel* timeoutLabel_;
    QLabel* retriesLabel_;
    QLabel* statusLine_;
};

}  // namespace tolva
