#include "gui/merge_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cerrno>

#include "formats/format_guess.h"
#include "gui/control_ids.h"
#include "gui/format_box.h"
#include "gui/merge_source_list.h"
#include "gui/qt_location_box.h"
#include "gui/qt_person.h"
#include "gui/qt_pickers.h"
#include "locations/recent_locations.h"
#include "merge/merge_report.h"
#include "merge/merge_run.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// Where the page remembers its restore-names option between runs of the program.
constexpr char kOptionsKey[] = "HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Merge";
constexpr char kRestoreNamesValue[] = "PreserveNames";

}  // namespace

CMerge::CMerge(SettingsStore& store, Prompter& prompter, QWidget* parent)
    : PropertyPage(parent), store_(store), prompter_(prompter) {
    MakeControls();
    LayOut();
    Connect();
    OnSelectionChanged();
}

void CMerge::MakeControls() {
    sourceFormatBox_ = Named(new QComboBox(this), control::kMergeSourceFormat);
    sourceLocationBox_ = Named(new LocationCombo(this), control::kMergeSourceLocation);
    browseSource_ = Named(new QPushButton(UiText(IDS_UI_BROWSE), this), control::kMergeBrowseSource);
    add_ = Named(new QPushButton(UiText(IDS_UI_MERGE_ADD), this), control::kMergeAdd);
    sources_ = Named(new MergeSourceList(this), control::kMergeSources);
    remove_ = Named(new QPushButton(UiText(IDS_UI_MERGE_REMOVE), this), control::kMergeRemove);
    selectedFormatBox_ = Named(new QComboBox(this), control::kMergeSelectedFormat);
    destinationFormatBox_ = Named(new QComboBox(this), control::kMergeDestinationFormat);
    destinationLocationBox_ = Named(new LocationCombo(this), control::kMergeDestinationLocation);
    browseDestination_ =
        Named(new QPushButton(UiText(IDS_UI_BROWSE_DESTINATION), this), control::kMergeBrowseDestination);
    exact_ = Named(new QRadioButton(UiText(IDS_UI_MERGE_MATCH_EXACT), this), control::kMergeExact);
    loose_ = Named(new QRadioButton(UiText(IDS_UI_MERGE_MATCH_LOOSE), this), control::kMergeLoose);
    keep_ = Named(new QRadioButton(UiText(IDS_UI_MERGE_KEEP), this), control::kMergeKeep);
    first_ = Named(new QRadioButton(UiText(IDS_UI_MERGE_FIRST), this), control::kMergeFirst);
    fixAmpersandsBox_ = Named(new QCheckBox(UiText(IDS_UI_MERGE_FIX_AMPERSANDS), this), control::kMergeFixAmpersands);
    restoreNamesBox_ = Named(new QCheckBox(UiText(IDS_UI_MERGE_PRESERVE_NAME), this), control::kMergePreserveName);
    reportBox_ = Named(new QLineEdit(this), control::kMergeReport);
    browseReport_ = Named(new QPushButton(UiText(IDS_UI_MERGE_BROWSE_REPORT), this), control::kMergeBrowseReport);
    merge_ = Named(new QPushButton(UiText(IDS_UI_MERGE_MERGE), this), control::kMerge);
    statusLine_ = Named(NewWrappedLabel(UiText(IDS_UI_MERGE_STATUS_START), this), control::kMergeStatus);
    progressBar_ = Named(new QProgressBar(this), control::kMergeProgressBar);
    progressText_ = Named(NewPlainLabel(QString(), this), control::kMergeProgressText);

    FillFormatBox(sourceFormatBox_, FormatAbility::Read);
    FillFormatBox(selectedFormatBox_, FormatAbility::Read);
    // A format that cannot be written is not offered as the destination, rather than refused later.
    FillFormatBox(destinationFormatBox_, FormatAbility::Write);
    // The radio buttons of one question answer it together, apart from the other question's;
    // the groups come first, else checking one question's default unchecks the other's.
    auto* match = new QButtonGroup(this);
    match->addButton(exact_);
    match->addButton(loose_);
    auto* duplicates = new QButtonGroup(this);
    duplicates->addButton(keep_);
    duplicates->addButton(first_);
    exact_->setChecked(true);
    keep_->setChecked(true);
    // As on the Translate page: ampersands are fixed unless the person says otherwise this
    // time; the restore-names choice holds until it is changed.
    fixAmpersandsBox_->setChecked(true);
    std::string restoreNames;
    restoreNamesBox_->setChecked(!store_.GetString(kOptionsKey, kRestoreNamesValue, restoreNames) ||
                                 restoreNames != "0");
    progressBar_->setTextVisible(false);
    progressBar_->hide();
    progressText_->hide();
    statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    sourceFormatBox_->setToolTip(UiText(IDS_UI_TIP_MERGE_SOURCE_FORMAT));
    add_->setToolTip(UiText(IDS_UI_TIP_MERGE_ADD));
    sources_->setToolTip(UiText(IDS_UI_TIP_MERGE_SOURCES));
    remove_->setToolTip(UiText(IDS_UI_TIP_MERGE_REMOVE));
    selectedFormatBox_->setToolTip(UiText(IDS_UI_TIP_MERGE_SELECTED_FORMAT));
    destinationFormatBox_->setToolTip(UiText(IDS_UI_TIP_DESTINATION_FORMAT));
    exact_->setToolTip(UiText(IDS_UI_TIP_MERGE_EXACT));
    loose_->setToolTip(UiText(IDS_UI_TIP_MERGE_LOOSE));
    keep_->setToolTip(UiText(IDS_UI_TIP_MERGE_KEEP));
    first_->setToolTip(UiText(IDS_UI_TIP_MERGE_FIRST));
    fixAmpersandsBox_->setToolTip(UiText(IDS_UI_TIP_FIX_AMPERSANDS));
    restoreNamesBox_->setToolTip(UiText(IDS_UI_TIP_PRESERVE_NAME));
    reportBox_->setToolTip(UiText(IDS_UI_TIP_MERGE_REPORT));
    merge_->setToolTip(UiText(IDS_UI_TIP_MERGE_MERGE));
}

// The sources' part of the page: the set to add, the list, the selected set's format.
QGridLayout* CMerge::LayOutSources() {
    auto* source = new QGridLayout;
    source->setColumnMinimumWidth(0, 12);
    source->addWidget(NewBuddyLabel(UiText(IDS_UI_FORMAT_LABEL), sourceFormatBox_, this), 0, 1);
    source->addWidget(sourceFormatBox_, 0, 2);
    source->addWidget(NewBuddyLabel(UiText(IDS_UI_LOCATION_LABEL), sourceLocationBox_, this), 1, 1);
    source->addWidget(sourceLocationBox_, 1, 2);
    source->addWidget(browseSource_, 1, 3);
    source->addWidget(add_, 1, 4);
    source->addWidget(NewBuddyLabel(UiText(IDS_UI_MERGE_SOURCES), sources_, this), 2, 1, 1, 2);
    source->addWidget(sources_, 3, 1, 1, 3);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(remove_);
    listButtons->addStretch();
    source->addLayout(listButtons, 3, 4);
    auto* selected = new QHBoxLayout;
    selected->addWidget(NewBuddyLabel(UiText(IDS_UI_MERGE_SELECTED_FORMAT), selectedFormatBox_, this));
    selected->addWidget(selectedFormatBox_, 1);
    source->addLayout(selected, 4, 1, 1, 3);
    source->setColumnStretch(2, 1);
    return source;
}

// The options: the two questions, the conversion's check boxes, the report file.
QGridLayout* CMerge::LayOutOptions() {
    auto* options = new QGridLayout;
    options->setColumnMinimumWidth(0, 12);
    options->addWidget(NewPlainLabel(UiText(IDS_UI_MERGE_MATCH), this), 0, 1);
    options->addWidget(exact_, 0, 2);
    options->addWidget(loose_, 0, 3);
    options->addWidget(NewPlainLabel(UiText(IDS_UI_MERGE_DUPLICATES), this), 1, 1);
    options->addWidget(keep_, 1, 2);
    options->addWidget(first_, 1, 3);
    options->addWidget(fixAmpersandsBox_, 2, 1, 1, 4);
    options->addWidget(restoreNamesBox_, 3, 1, 1, 4);
    auto* report = new QHBoxLayout;
    report->addWidget(NewBuddyLabel(UiText(IDS_UI_MERGE_REPORT), reportBox_, this));
    report->addWidget(reportBox_, 1);
    report->addWidget(browseReport_);
    options->addLayout(report, 4, 1, 1, 4);
    options->setColumnStretch(4, 1);
    return options;
}

void CMerge::LayOut() {
    QGridLayout* source = LayOutSources();
    auto* destination = new QGridLayout;
    destination->setColumnMinimumWidth(0, 12);
    destination->addWidget(NewBuddyLabel(UiText(IDS_UI_DESTINATION_FORMAT_LABEL), destinationFormatBox_, this), 0, 1);
    destination->addWidget(destinationFormatBox_, 0, 2);
    destination->addWidget(NewBuddyLabel(UiText(IDS_UI_DESTINATION_LOCATION_LABEL), destinationLocationBox_, this), 1,
                           1);
    destination->addWidget(destinationLocationBox_, 1, 2);
    destination->addWidget(browseDestination_, 1, 3);
    destination->setColumnStretch(2, 1);

    QGridLayout* options = LayOutOptions();

    auto* progress = new QHBoxLayout;
    progress->addWidget(progressBar_, 1);
    progress->addWidget(progressText_, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(statusLine_, 1);
    bottom->addWidget(merge_, 0, Qt::AlignBottom);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(NewWrappedLabel(UiText(IDS_UI_MERGE_INTRO), this));
    layout->addWidget(NewEtchedLine(this));
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_MERGE_SOURCE_HEADING), this));
    layout->addLayout(source, 1);
    layout->addWidget(NewEtchedLine(this));
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_MERGE_DESTINATION_HEADING), this));
    layout->addLayout(destination);
    layout->addWidget(NewEtchedLine(this));
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_CONVERT_OPTIONS), this));
    layout->addLayout(options);
    layout->addWidget(NewEtchedLine(this));
    layout->addLayout(progress);
    layout->addLayout(bottom);
    // Keep the progress row's height while its controls are hidden, so nothing jumps.
    progressBar_->setSizePolicy(QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed));
    QSizePolicy keepSpace = progressBar_->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    progressBar_->setSizePolicy(keepSpace);
    statusLine_->setMinimumHeight(2 * statusLine_->fontMetrics().lineSpacing());
    SetTabOrder();
}

void CMerge::SetTabOrder() {
    // The keyboard follows the page as it is read: top to bottom, left to right.
    QWidget* order[] = {sourceFormatBox_,
                        sourceLocationBox_,
                        browseSource_,
                        add_,
                        sources_,
                        remove_,
                        selectedFormatBox_,
                        destinationFormatBox_,
                        destinationLocationBox_,
                        browseDestination_,
                        exact_,
                        loose_,
                        keep_,
                        first_,
                        fixAmpersandsBox_,
                        restoreNamesBox_,
                        reportBox_,
                        browseReport_,
                        merge_};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void CMerge::Connect() {
    // activated is the person's choice only: a selection made by the program does not reload a list.
    connect(sourceFormatBox_, &QComboBox::activated, this, [this] { OnFormatChanged(Side::Source); });
    connect(destinationFormatBox_, &QComboBox::activated, this, [this] { OnFormatChanged(Side::Destination); });
    connect(selectedFormatBox_, &QComboBox::activated, this,
            [this] { sources_->SetSelectedFormat(FormatInBox(selectedFormatBox_)); });
    connect(browseSource_, &QPushButton::clicked, this, [this] { OnBrowse(Side::Source); });
    connect(browseDestination_, &QPushButton::clicked, this, [this] { OnBrowse(Side::Destination); });
    connect(add_, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(remove_, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(browseReport_, &QPushButton::clicked, this, [this] { OnBrowseReport(); });
    connect(merge_, &QPushButton::clicked, this, [this] { OnMerge(); });
    // The person's choice is remembered at once, as the program keeps nothing at exit.
    connect(restoreNamesBox_, &QCheckBox::clicked, this, [this](bool on) {
        store_.SetString(kOptionsKey, kRestoreNamesValue, on ? "1" : "0");
        store_.Save();
    });
    connect(sources_, &QTreeWidget::currentItemChanged, this, [this] { OnSelectionChanged(); });
    sources_->SetDropAction([this](const std::vector<std::string>& locations) { OnDropSources(locations); });
    sources_->SetRemoveAction([this] { OnRemove(); });
    // Enter in the source box adds what it names; an empty one asks the page for its next step.
    sourceLocationBox_->SetEnterAction([this] { sourceLocationBox_->Text().empty() ? OnEnter() : OnAdd(); });
    destinationLocationBox_->SetEnterAction([this] { OnEnter(); });
    for (Side side : {Side::Source, Side::Destination}) {
        LocationCombo* box = LocationBoxOf(side);
        box->SetDropAction([this, side](const std::string& location) { TakeLocation(side, location); });
        box->SetTypedAction([this, side] { OnLocationTyped(side); });
    }
}

QComboBox* CMerge::FormatBox(Side side) const {
    return side == Side::Source ? sourceFormatBox_ : destinationFormatBox_;
}

LocationCombo* CMerge::LocationBoxOf(Side side) const {
    return side == Side::Source ? sourceLocationBox_ : destinationLocationBox_;
}

void CMerge::OnFormatChanged(Side side) {
    const UrlSetFormat format = FormatInBox(FormatBox(side));
    LocationCombo* box = LocationBoxOf(side);
    LoadRecentLocations(store_, RecentPage::Merge, format, *box);
    box->SetOffered(FindStoreLocations(format, places));
    if (side == Side::Destination) destinationTaken_ = box->Text();
}

void CMerge::TakeLocation(Side side, const std::string& location) {
    // A set to read says its format by its name or first bytes; a new one by its name alone.
    const UrlSetFormat guessed =
        (side == Side::Source ? GuessSourceFormat(location) : GuessDestinationFormat(location)).format;
    if (FollowFormat(FormatBox(side), guessed)) OnFormatChanged(side);
    LocationBoxOf(side)->SetText(location);
    if (side == Side::Destination) destinationTaken_ = location;
}

void CMerge::OnLocationTyped(Side side) {
    // A box losing the focus to a run's own message box is no new location.
    if (BusyScope::Active()) return;
    LocationCombo* box = LocationBoxOf(side);
    box->ExpandHome();
    const std::string typed = box->Text();
    if (!typed.empty()) TakeLocation(side, typed);
}

void CMerge::OnBrowse(Side side) {
    const std::string current = LocationBoxOf(side)->Text();
    const std::string chosen = BrowseForLocation(
        FormatInBox(FormatBox(side)), side == Side::Source ? ChooserPurpose::Merge : ChooserPurpose::Destination,
        current, prompter_, places);
    if (!chosen.empty() && chosen != current) TakeLocation(side, chosen);
}

void CMerge::OnBrowseReport() {
    // Beside the report named already, else beside the merged set.
    const std::string current = FromQString(reportBox_->text());
    const std::string chosen =
        ChooseReportFile(current.empty() ? ExpandHomeIn(destinationLocationBox_->Text()) : ExpandHomeIn(current),
                         IDS_UI_PICK_MERGE_REPORT_TITLE);
    if (!chosen.empty()) reportBox_->setText(ToQString(chosen));
}

void CMerge::OnAdd() {
    if (sourceLocationBox_->Text().empty()) OnBrowse(Side::Source);
    OnLocationTyped(Side::Source);
    const std::string location = sourceLocationBox_->Text();
    if (location.empty()) return;
    sources_->AddSource({FormatInBox(sourceFormatBox_), location});
    // The box is ready for the next set.
    sourceLocationBox_->SetText({});
}

void CMerge::OnDropSources(const std::vector<std::string>& locations) {
    for (const std::string& location : locations) {
        const UrlSetFormat guessed = GuessSourceFormat(location).format;
        sources_->AddSource({BoxOffers(sourceFormatBox_, guessed) ? guessed : UrlSetFormat::None, location});
    }
}

void CMerge::OnRemove() { sources_->RemoveSelected(); }

void CMerge::OnSelectionChanged() {
    const bool selected = sources_->currentItem() != nullptr;
    ShowFormatInBox(selectedFormatBox_, sources_->SelectedFormat());
    selectedFormatBox_->setEnabled(selected);
    remove_->setEnabled(selected);
}

void CMerge::OnEnter() {
    // The first gap in reading order gets the focus; a full form is merged.
    if (sources_->topLevelItemCount() == 0) {
        sourceLocationBox_->setFocus(Qt::OtherFocusReason);
    } else if (FormatInBox(destinationFormatBox_) == UrlSetFormat::None) {
        destinationFormatBox_->setFocus(Qt::OtherFocusReason);
    } else if (destinationLocationBox_->Text().empty()) {
        destinationLocationBox_->setFocus(Qt::OtherFocusReason);
    } else {
        OnMerge();
    }
}

void CMerge::OnMerge() {
    // A destination typed and merged at once by the mnemonic never left its box: its format
    // follows it now, as it would have when the box lost the focus.
    if (destinationLocationBox_->Text() != destinationTaken_) OnLocationTyped(Side::Destination);
    MergeValues values;
    values.sources = sources_->Sources();
    values.destinationFormat = FormatInBox(destinationFormatBox_);
    values.destinationLocation = ExpandHomeIn(destinationLocationBox_->Text());
    values.match = loose_->isChecked() ? MatchRule::Loose : MatchRule::Exact;
    values.duplicates = first_->isChecked() ? DuplicatePlaces::First : DuplicatePlaces::Keep;
    values.fixAmpersands = fixAmpersandsBox_->isChecked();
    values.restoreNames = restoreNamesBox_->isChecked();
    const std::string report = ExpandHomeIn(FromQString(reportBox_->text()));
    // The groups are listed only for a report: the status line shows the counts alone.
    values.listGroups = !report.empty();
    // Found after the merge, a report over one of its sets would lose that set or the report.
    if (!report.empty() && ReportReplacesSet(report, values)) {
        prompter_.ShowMessage(FormatString(IDS_MSG_MERGE_REPORT_OVER_SET, {report}), LoadString(IDS_CAPTION));
        reportBox_->setFocus(Qt::OtherFocusReason);
        return;
    }

    BusyScope busy(this);
    LabelText status(statusLine_);
    // A run that stops at its first check sets no status; the last run's text must not stay.
    status.SetText({});
    BarProgress bar(progressBar_);
    LabelText text(progressText_);
    MergeControls controls;
    controls.statusLine = &status;
    controls.progressBar = &bar;
    controls.progressText = &text;
    controls.prompter = &prompter_;
    const MergeOutcome outcome = RunMerge(values, controls);
    if (outcome.result != MergeResult::Merged) return;
    if (!report.empty()) WriteReport(report, values, outcome);
    for (const MergeSource& source : values.sources) Remember(source.format, source.location);
    Remember(values.destinationFormat, values.destinationLocation);
    CancelToClose();
}

void CMerge::Remember(UrlSetFormat format, const std::string& location) {
    // The stored list is the one both boxes show for format; a box of another format keeps its own.
    MemoryLocationBox stored;
    LoadRecentLocations(store_, RecentPage::Merge, format, stored);
    RememberLocation(store_, RecentPage::Merge, format, stored, location);
    for (Side side : {Side::Source, Side::Destination}) {
        if (FormatInBox(FormatBox(side)) == format) LocationBoxOf(side)->SetEntries(stored.Entries());
    }
}

void CMerge::WriteReport(const std::string& report, const MergeValues& values, const MergeOutcome& outcome) {
    if (WriteMergeReport(report, values, outcome)) return;
    const int error = errno;
    prompter_.ShowMessage(FormatString(IDS_MSG_MERGE_UNABLE_TO_REPORT, {report, error}), LoadString(IDS_CAPTION));
}

}  // namespace tolva
