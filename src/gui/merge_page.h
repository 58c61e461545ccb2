#pragma once
// The Merge tab: the sets to merge (added from the location box, by Browse or by dropping
// them on the list, each with its format), the destination's format and location, the match
// and duplicates choices, the conversion options, an optional report file, and the Merge
// button, which hands the page's values to the merge run and its report writer. The page
// keeps no merge logic of its own; it remembers the locations of a merge that was written in
// its own recent lists, and the restore-names option as soon as it is changed.

#include <string>
#include <vector>

#include "gui/property_sheet.h"
#include "locations/store_locations.h"
#include "merge/merge_run.h"
#include "model/set_kinds.h"
#include "platform/person.h"
#include "platform/settings_store.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace tolva {

class LocationCombo;
class MergeSourceList;

class CMerge final : public PropertyPage {
public:
    enum class Side { Source, Destination };

    // The store keeps the recent lists; the prompter shows the page's and the run's messages.
    CMerge(SettingsStore& store, Prompter& prompter, QWidget* parent = nullptr);

    // Adds the set the source box names (choosing one first when the box is empty) to the list.
    void OnAdd();
    // Files and folders dropped on the list, each added with the format it says it is in.
    void OnDropSources(const std::vector<std::string>& locations);
    void OnRemove();
    void OnBrowse(Side side);
    void OnBrowseReport();
    void OnMerge();
    // Merges when the form is filled in; else puts the focus where the first gap is.
    void OnEnter() override;

    // Where the browsers' stores are looked for; tests point it elsewhere.
    StorePlaces places = StorePlaces::OfPerson();

private:
    void MakeControls();
    void LayOut();
    QGridLayout* LayOutSources();
    QGridLayout* LayOutOptions();
    void SetTabOrder();
    void Connect();
    // Reloads side's location list for the format chosen in its box.
    void OnFormatChanged(Side side);
    // A location typed, dropped or chosen: "~" expanded, and the format follows the location
    // when it says which it is and side's box offers it.
    void TakeLocation(Side side, const std::string& location);
    void OnLocationTyped(Side side);
    void OnSelectionChanged();
    // Puts location first in the page's list for format and shows the list in the boxes of
    // that format.
    void Remember(UrlSetFormat format, const std::string& location);
    // Writes the report a merge was asked for; a failure is told, the merge stays done.
    void WriteReport(const std::string& report, const MergeValues& values, const MergeOutcome& outcome);
    QComboBox* FormatBox(Side side) const;
    LocationCombo* LocationBoxOf(Side side) const;

    SettingsStore& store_;
    Prompter& prompter_;
    // The destination as last taken, so one typed and merged at once by the mnemonic still
    // gets its format.
    std::string destinationTaken_;
    QComboBox* sourceFormatBox_;
    LocationCombo* sourceLocationBox_;
    QPushButton* browseSource_;
    QPushButton* add_;
    MergeSourceList* sources_;
    QPushButton* remove_;
    QComboBox* selectedFormatBox_;
    QComboBox* destinationFormatBox_;
    LocationCombo* destinationLocationBox_;
    QPushButton* browseDestination_;
    QRadioButton* exact_;
    QRadioButton* loose_;
    QRadioButton* keep_;
    QRadioButton* first_;
    QCheckBox* fixAmpersandsBox_;
    QCheckBox* restoreNamesBox_;
    QLineEdit* reportBox_;
    QPushButton* browseReport_;
    QPushButton* merge_;
    QLabel* statusLine_;
    QProgressBar* progressBar_;
    QLabel* progressText_;
};

}  // namespace tolva
