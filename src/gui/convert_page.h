#pragma once
// The Translate tab: the format and location of the set to read and of the set to build, the
// ampersand and restore-names options, two quick buttons for the common conversions, and the Translate button,
// which hands the page's five values to the translation run.

#include <cstdint>
#include <string>

#include "gui/property_sheet.h"
#include "locations/store_locations.h"
#include "model/set_kinds.h"
#include "platform/person.h"
#include "platform/settings_store.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tolva {

class LocationCombo;

class CConvert final : public PropertyPage {
public:
    enum class Side { Source, Destination };

    // The store keeps the recent lists; the prompter shows the page's and the run's messages.
    CConvert(SettingsStore& store, Prompter& prompter, QWidget* parent = nullptr);

    void WriteForm() override;
    bool ReadForm() override;
    // Translates when both sides are filled in; else puts the focus where the first gap is.
    void OnEnter() override;

    // Reloads side's location list for the chosen format; true when a list is stored for it.
    bool OnFormatChanged(Side side);
    // The chooser of side's format; a location chosen is taken as a dropped one is.
    void OnBrowse(Side side);
    // A file or folder dropped onto side's location box; the format follows when the location
    // says which it is and side's box offers it.
    void OnDrop(Side side, const std::string& location);
    void OnNetscapeToExplorer();
    void OnExplorerToNetscape();
    void OnTranslate();

    UrlSetFormat sourceFormat = UrlSetFormat::None;
    std::string sourceLocation;
    UrlSetFormat destinationFormat = UrlSetFormat::None;
    std::string destinationLocation;
    bool fixAmpersands = true;
    // Check box 1013: shortcut entries get their former names back; kept in the store.
    bool restoreNames = true;

    // Where the defaults and the browsers' stores are looked for (the home folder, mounted
    // partitions); tests point it elsewhere.
    StorePlaces places = StorePlaces::OfPerson();

private:
    void MakeControls();
    void LayOut();
    void Connect();
    // A location typed by hand: "~" expanded, and the format follows a name that says it.
    void OnLocationTyped(Side side);
    QComboBox* FormatBox(Side side) const;
    LocationCombo* LocationBoxOf(Side side) const;
    void SetLocation(Side side, const std::string& location);
    void SelectFormat(Side side, UrlSetFormat format);

    SettingsStore& store_;
    Prompter& prompter_;
    QComboBox* sourceFormatBox_;
    LocationCombo* sourceLocationBox_;
    QComboBox* destinationFormatBox_;
    LocationCombo* destinationLocationBox_;
    QPushButton* browseSource_;
    QPushButton* browseDestination_;
    QPushButton* netscapeToExplorer_;
    QPushButton* explorerToNetscape_;
    QPushButton* translate_;
    QCheckBox* fixAmpersandsBox_;
    QCheckBox* restoreNamesBox_;
    QLabel* statusLine_;
    QLabel* progressLabel_;
    QProgressBar* progressBar_;
    QLabel* progressText_;
};

}  // namespace tolva
