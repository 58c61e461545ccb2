#include "gui/convert_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "formats/format_guess.h"
#include "gui/control_ids.h"
#include "gui/format_box.h"
#include "model/url_set.h"
#include "resources/strings.h"
#include "translate/translation_run.h"
#include "locations/default_locations.h"
#include "gui/qt_location_box.h"
#include "gui/qt_person.h"
#include "gui/qt_pickers.h"
#include "locations/recent_locations.h"

namespace tolva {

namespace {

constexpr int kMaxFormLocation = 255;
// The over-long location refusal is captioned with the program's own name.
constexpr char kProgramName[] = "tolva";
// Where the page remembers its restore-names option between runs of the program.
constexpr char kOptionsKey[] = "HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Convert";
constexpr char kRestoreNamesValue[] = "PreserveNames";

bool StoredRestoreNames(const SettingsStore& store) {
    std::string value;
    return !store.GetString(kOptionsKey, kRestoreNamesValue, value) || value != "0";
}

}  // namespace

CConvert::CConvert(SettingsStore& store, Prompter& prompter, QWidget* parent)
    : PropertyPage(parent), restoreNames(StoredRestoreNames(store)), store_(store), prompter_(prompter) {
    MakeControls();
    LayOut();
    Connect();
    WriteForm();
}

void CConvert::MakeControls() {
    browseSource_ = Named(new QPushButton(UiText(IDS_UI_BROWSE), this), control::kBrowseSource);
    fixAmpersandsBox_ = Named(new QCheckBox(UiText(IDS_UI_CONVERT_FIX_AMPERSANDS), this), control::kFixAmpersands);
    restoreNamesBox_ = Named(new QCheckBox(UiText(IDS_UI_CONVERT_PRESERVE_NAME), this), control::kPreserveName);
    statusLine_ = Named(NewWrappedLabel(UiText(IDS_UI_CONVERT_STATUS_START), this), control::kConvertStatus);
    sourceFormatBox_ = Named(new QComboBox(this), control::kSourceFormat);
    sourceLocationBox_ = Named(new LocationCombo(this), control::kSourceLocation);
    browseDestination_ = Named(new QPushButton(UiText(IDS_UI_BROWSE_DESTINATION), this), control::kBrowseDestination);
    destinationFormatBox_ = Named(new QComboBox(this), control::kDestinationFormat);
    destinationLocationBox_ = Named(new LocationCombo(this), control::kDestinationLocation);
    netscapeToExplorer_ =
        Named(new QPushButton(UiText(IDS_UI_CONVERT_NETSCAPE_TO_EXPLORER), this), control::kNetscapeToExplorer);
    explorerToNetscape_ =
        Named(new QPushButton(UiText(IDS_UI_CONVERT_EXPLORER_TO_NETSCAPE), this), control::kExplorerToNetscape);
    translate_ = Named(new QPushButton(UiText(IDS_UI_CONVERT_TRANSLATE), this), control::kTranslate);
    progressLabel_ = Named(NewPlainLabel(UiText(IDS_UI_CONVERT_PROGRESS), this), control::kConvertProgressLabel);
    progressBar_ = Named(new QProgressBar(this), control::kConvertProgressBar);
    progressText_ = Named(NewPlainLabel(QString(), this), control::kConvertProgressText);
    FillFormatBox(sourceFormatBox_, FormatAbility::Read);
    // A format that cannot be written is not offered as a destination, rather than refused later.
    FillFormatBox(destinationFormatBox_, FormatAbility::Write);
    progressBar_->setTextVisible(false);
    progressLabel_->hide();
    progressBar_->hide();
    sourceFormatBox_->setToolTip(UiText(IDS_UI_TIP_SOURCE_FORMAT));
    destinationFormatBox_->setToolTip(UiText(IDS_UI_TIP_DESTINATION_FORMAT));
    fixAmpersandsBox_->setToolTip(UiText(IDS_UI_TIP_FIX_AMPERSANDS));
    restoreNamesBox_->setToolTip(UiText(IDS_UI_TIP_PRESERVE_NAME));
    netscapeToExplorer_->setToolTip(UiText(IDS_UI_TIP_NETSCAPE_TO_EXPLORER));
    explorerToNetscape_->setToolTip(UiText(IDS_UI_TIP_EXPLORER_TO_NETSCAPE));
    statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
}

void CConvert::LayOut() {
    // Introduction beside the two quick buttons.
    auto* top = new QHBoxLayout;
    top->addWidget(NewWrappedLabel(UiText(IDS_UI_CONVERT_INTRO), this), 1);
    auto* quick = new QVBoxLayout;
    quick->addWidget(netscapeToExplorer_);
    quick->addWidget(explorerToNetscape_);
    quick->addStretch();
    top->addLayout(quick);

    auto side = [this](int formatText, QComboBox* format, int locationText, QComboBox* location,
                       QPushButton* browse) {
        auto* grid = new QGridLayout;
        grid->setColumnMinimumWidth(0, 12);
        grid->addWidget(NewBuddyLabel(UiText(formatText), format, this), 0, 1);
        grid->addWidget(format, 0, 2);
        grid->addWidget(NewBuddyLabel(UiText(locationText), location, this), 1, 1);
        grid->addWidget(location, 1, 2);
        grid->addWidget(browse, 1, 3);
        grid->setColumnStretch(2, 1);
        return grid;
    };
    auto* options = new QVBoxLayout;
    options->setContentsMargins(16, 0, 0, 0);
    options->addWidget(fixAmpersandsBox_);
    options->addWidget(restoreNamesBox_);

    auto* progress = new QHBoxLayout;
    progress->addWidget(progressLabel_);
    progress->addWidget(progressBar_, 1);
    progress->addWidget(progressText_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(statusLine_, 1);
    bottom->addWidget(translate_, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(NewEtchedLine(this));
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_CONVERT_SOURCE_HEADING), this));
    layout->addLayout(side(IDS_UI_FORMAT_LABEL, sourceFormatBox_, IDS_UI_LOCATION_LABEL, sourceLocationBox_,
                           browseSource_));
    layout->addWidget(NewEtchedLine(this));
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_CONVERT_DESTINATION_HEADING), this));
    layout->addLayout(side(IDS_UI_DESTINATION_FORMAT_LABEL, destinationFormatBox_, IDS_UI_DESTINATION_LOCATION_LABEL,
                           destinationLocationBox_, browseDestination_));
    layout->addWidget(NewEtchedLine(this));
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_CONVERT_OPTIONS), this));
    layout->addLayout(options);
    layout->addStretch(1);
    layout->addWidget(NewEtchedLine(this));
    layout->addLayout(progress);
    layout->addLayout(bottom);
    // Keep the progress row's height while its controls are hidden, so nothing jumps.
    progressBar_->setSizePolicy(QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed));
    for (QWidget* kept : {static_cast<QWidget*>(progressLabel_), static_cast<QWidget*>(progressBar_)}) {
        QSizePolicy keepSpace = kept->sizePolicy();
        keepSpace.setRetainSizeWhenHidden(true);
        kept->setSizePolicy(keepSpace);
    }
    statusLine_->setMinimumHeight(2 * statusLine_->fontMetrics().lineSpacing());

    // The keyboard follows the page as it is read: top to bottom, left to right.
    QWidget* order[] = {netscapeToExplorer_,    explorerToNetscape_,     sourceFormatBox_,
                        sourceLocationBox_,     browseSource_,           destinationFormatBox_,
                        destinationLocationBox_, browseDestination_,     fixAmpersandsBox_,
                        restoreNamesBox_,       translate_};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void CConvert::Connect() {
    // activated is the person's choice only: a selection made by the program does not reload a list.
    connect(sourceFormatBox_, &QComboBox::activated, this, [this] { OnFormatChanged(Side::Source); });
    connect(destinationFormatBox_, &QComboBox::activated, this, [this] { OnFormatChanged(Side::Destination); });
    connect(browseSource_, &QPushButton::clicked, this, [this] { OnBrowse(Side::Source); });
    connect(browseDestination_, &QPushButton::clicked, this, [this] { OnBrowse(Side::Destination); });
    connect(netscapeToExplorer_, &QPushButton::clicked, this, [this] { OnNetscapeToExplorer(); });
    connect(explorerToNetscape_, &QPushButton::clicked, this, [this] { OnExplorerToNetscape(); });
    connect(translate_, &QPushButton::clicked, this, [this] { OnTranslate(); });
    connect(fixAmpersandsBox_, &QCheckBox::toggled, this, [this](bool on) { fixAmpersands = on; });
    for (Side side : {Side::Source, Side::Destination}) {
        LocationCombo* box = LocationBoxOf(side);
        box->SetEnterAction([this] { OnEnter(); });
        box->SetDropAction([this, side](const std::string& location) { OnDrop(side, location); });
        box->SetTypedAction([this, side] { OnLocationTyped(side); });
    }
    // The person's choice is remembered at once, as the program keeps nothing at exit.
    connect(restoreNamesBox_, &QCheckBox::clicked, this, [this](bool on) {
        restoreNames = on;
        store_.SetString(kOptionsKey, kRestoreNamesValue, on ? "1" : "0");
        store_.Save();
    });
}

QComboBox* CConvert::FormatBox(Side side) const {
    return side == Side::Source ? sourceFormatBox_ : destinationFormatBox_;
}

LocationCombo* CConvert::LocationBoxOf(Side side) const {
    return side == Side::Source ? sourceLocationBox_ : destinationLocationBox_;
}

void CConvert::SetLocation(Side side, const std::string& location) {
    (side == Side::Source ? sourceLocation : destinationLocation) = location;
    LocationBoxOf(side)->SetText(location);
}

void CConvert::SelectFormat(Side side, UrlSetFormat format) {
    (side == Side::Source ? sourceFormat : destinationFormat) = format;
    ShowFormatInBox(FormatBox(side), format);
}

void CConvert::WriteForm() {
    ShowFormatInBox(sourceFormatBox_, sourceFormat);
    sourceLocationBox_->SetText(sourceLocation);
    ShowFormatInBox(destinationFormatBox_, destinationFormat);
    destinationLocationBox_->SetText(destinationLocation);
    fixAmpersandsBox_->setChecked(fixAmpersands);
    restoreNamesBox_->setChecked(restoreNames);
}

bool CConvert::ReadForm() {
    sourceFormat = FormatInBox(sourceFormatBox_);
    destinationFormat = FormatInBox(destinationFormatBox_);
    fixAmpersands = fixAmpersandsBox_->isChecked();
    restoreNames = restoreNamesBox_->isChecked();
    // The destination is checked first; a refused box keeps its field as it was.
    for (Side side : {Side::Destination, Side::Source}) {
        LocationCombo* box = LocationBoxOf(side);
        box->ExpandHome();
        const std::string text = box->Text();
        if (QString::fromStdString(text).size() > kMaxFormLocation) {
            ShowWarning(prompter_,
                        FromQString(UiText(IDS_ENTER_NO_MORE_THAN).replace("%1", QString::number(kMaxFormLocation))),
                        kProgramName);
            box->setFocus();
            box->lineEdit()->selectAll();
            return false;
        }
        (side == Side::Source ? sourceLocation : destinationLocation) = text;
    }
    return true;
}

bool CConvert::OnFormatChanged(Side side) {
    const UrlSetFormat format = FormatInBox(FormatBox(side));
    (side == Side::Source ? sourceFormat : destinationFormat) = format;
    LocationCombo* box = LocationBoxOf(side);
    const bool stored = LoadRecentLocations(store_, RecentPage::Translate, format, *box);
    box->SetOffered(FindStoreLocations(format, places));
    (side == Side::Source ? sourceLocation : destinationLocation) = box->Text();
    return stored;
}

void CConvert::OnBrowse(Side side) {
    const std::string current = LocationBoxOf(side)->Text();
    const std::string result = BrowseForLocation(
        FormatInBox(FormatBox(side)), side == Side::Source ? ChooserPurpose::Translate : ChooserPurpose::Destination,
        current, prompter_, places);
    if (result.empty() || result == current) {
        SetLocation(side, result);
        return;
    }
    OnDrop(side, result);
}

void CConvert::OnDrop(Side side, const std::string& location) {
    // A set to read says its format by its name or first bytes; a new one by its name alone.
    const UrlSetFormat guessed =
        (side == Side::Source ? GuessSourceFormat(location) : GuessDestinationFormat(location)).format;
    // OnFormatChanged takes the format the box shows as the page's own.
    if (FollowFormat(FormatBox(side), guessed)) OnFormatChanged(side);
    SetLocation(side, location);
}

void CConvert::OnLocationTyped(Side side) {
    // A box losing the focus to a run's own message box is no new location.
    if (BusyScope::Active()) return;
    LocationCombo* box = LocationBoxOf(side);
    box->ExpandHome();
    const std::string typed = box->Text();
    if (typed.empty()) return;
    OnDrop(side, typed);
}

void CConvert::OnEnter() {
    // The first gap in reading order gets the focus; a full form is translated.
    for (Side side : {Side::Source, Side::Destination}) {
        if (FormatInBox(FormatBox(side)) == UrlSetFormat::None) {
            FormatBox(side)->setFocus(Qt::OtherFocusReason);
            return;
        }
        if (LocationBoxOf(side)->Text().empty()) {
            LocationBoxOf(side)->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    OnTranslate();
}

void CConvert::OnNetscapeToExplorer() {
    SelectFormat(Side::Source, UrlSetFormat::Netscape);
    if (!OnFormatChanged(Side::Source)) {
        SetLocation(Side::Source, FindNetscapeBookmarkFile(store_, places.home));
    }
    SelectFormat(Side::Destination, UrlSetFormat::Shortcuts);
    if (!OnFormatChanged(Side::Destination)) {
        SetLocation(Side::Destination, FindFavoritesFolder(store_, places.mountRoots));
    }
    fixAmpersands = true;
    fixAmpersandsBox_->setChecked(true);
}

void CConvert::OnExplorerToNetscape() {
    SelectFormat(Side::Destination, UrlSetFormat::Netscape);
    if (!OnFormatChanged(Side::Destination)) {
        SetLocation(Side::Destination, FindNetscapeBookmarkFile(store_, places.home));
    }
    SelectFormat(Side::Source, UrlSetFormat::Shortcuts);
    if (!OnFormatChanged(Side::Source)) {
        SetLocation(Side::Source, FindFavoritesFolder(store_, places.mountRoots));
    }
    fixAmpersands = true;
    fixAmpersandsBox_->setChecked(true);
}

void CConvert::OnTranslate() {
    // A location typed and run at once by its mnemonic never left its box: its format follows
    // it now, as it would have when the box lost the focus.
    for (Side side : {Side::Source, Side::Destination}) {
        const std::string& taken = side == Side::Source ? sourceLocation : destinationLocation;
        if (LocationBoxOf(side)->Text() != taken) OnLocationTyped(side);
    }
    // A refused form stops here: going on would translate with a location the person
    // did not see, since the refused box's field keeps its earlier value.
    if (!ReadForm()) return;
    BusyScope busy(this);
    LabelText status(statusLine_);
    // A run that stops at its first check sets no status; the last run's text must not stay.
    status.SetText({});
    LabelText label(progressLabel_);
    BarProgress bar(progressBar_);
    LabelText text(progressText_);
    TranslatePageControls controls;
    controls.statusLine = &status;
    controls.progressLabel = &label;
    controls.progressBar = &bar;
    controls.progressText = &text;
    controls.prompter = &prompter_;
    controls.sourceBox = sourceLocationBox_;
    controls.destinationBox = destinationLocationBox_;
    controls.store = &store_;
    controls.cancelToClose = [this] { CancelToClose(); };
    TranslateValues values;
    values.sourceFormat = sourceFormat;
    values.sourceLocation = sourceLocation;
    values.destinationFormat = destinationFormat;
    values.destinationLocation = destinationLocation;
    values.fixAmpersands = fixAmpersands;
    values.restoreNames = restoreNames;
    RunTranslation(values, controls);
}

}  // namespace tolva
