#include "gui/verify_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstdlib>

#include "formats/format_guess.h"
#include "gui/control_ids.h"
#include "gui/cookie_warning_dialog.h"
#include "gui/format_box.h"
#include "gui/qt_location_box.h"
#include "gui/qt_person.h"
#include "gui/qt_pickers.h"
#include "gui/url_repair_dialog.h"
#include "gui/verify_progress_dialog.h"
#include "gui/verify_results_dialog.h"
#include "locations/recent_locations.h"
#include "platform/ascii.h"
#include "resources/strings.h"
#include "verify/link_selection.h"
#include "verify/verify_command.h"

namespace tolva {

namespace {

constexpr int kTimeoutMax = 120;
constexpr int kTimeoutStart = 60;
constexpr int kTimeoutTicks = 20;
constexpr int kRetriesMax = 10;
constexpr int kRetriesStart = 5;
// Where the page keeps the run options it remembers between runs of the program.
constexpr char kOptionsKey[] = "HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Verify";
constexpr char kLinksAtOnceValue[] = "LinksAtOnce";
constexpr char kConfirmValue[] = "ConfirmFailures";
constexpr char kKeepBackupValue[] = "KeepBackup";
constexpr char kUpdateMovedValue[] = "UpdateMoved";
constexpr char kSuggestArchiveValue[] = "SuggestArchive";
constexpr char kOnlyUnverifiedValue[] = "OnlyUnverified";
constexpr char kSkipValue[] = "SkipLinks";

// A remark of the run that needs no answer and stops nothing (a folder to leave out that the
// set does not hold), shown in a box as the run's other remarks before its first request are,
// since the status line is written over as soon as the run goes on. The run words it to follow
// the terminal's "tolva-cli: ", so the box starts it as a sentence.
class MessageNote final : public TextControl {
public:
    explicit MessageNote(Prompter& prompter) : prompter_(prompter) {}
    void SetText(const std::string& text) override {
        std::string sentence = text;
        if (!sentence.empty()) sentence.front() = UpperAscii(sentence.front());
        prompter_.ShowMessage(sentence, LoadString(IDS_CAPTION));
    }

private:
    Prompter& prompter_;
};

}  // namespace

CVerify::CVerify(SettingsStore& store, Prompter& prompter, QWidget* parent)
    : PropertyPage(parent), store_(store), prompter_(prompter) {
    MakeControls();
    LayOut();
    Connect();
    verifiedSet.SetPrompter(&prompter_);
    WriteForm();
    LoadRunOptions();
}

void CVerify::MakeControls() {
    browse_ = Named(new QPushButton(UiText(IDS_UI_BROWSE), this), control::kBrowseVerifyLocation);
    statusLine_ = Named(NewWrappedLabel(UiText(IDS_UI_VERIFY_STATUS_START), this), control::kVerifyStatus);
    statusLine_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    formatBox_ = Named(new QComboBox(this), control::kVerifyFormat);
    // Verifying saves the set where it is: formats that cannot be written back are not offered.
    FillFormatBox(formatBox_, FormatAbility::VerifyInPlace);
    locationBox_ = Named(new LocationCombo(this), control::kVerifyLocation);
    interactiveBox_ = Named(new QCheckBox(UiText(IDS_UI_VERIFY_INTERACTIVE), this), control::kInteractive);
    renameBox_ = Named(new QCheckBox(UiText(IDS_UI_VERIFY_RENAME), this), control::kRenameInPlace);
    confirmBox_ = Named(new QCheckBox(UiText(IDS_UI_VERIFY_CONFIRM), this), control::kConfirmFailures);
    updateMovedBox_ = Named(new QCheckBox(UiText(IDS_UI_VERIFY_UPDATE_MOVED), this), control::kUpdateMoved);
    archiveBox_ = Named(new QCheckBox(UiText(IDS_UI_VERIFY_SUGGEST_ARCHIVE), this), control::kSuggestArchive);
    backupBox_ = Named(new QCheckBox(UiText(IDS_UI_VERIFY_KEEP_BACKUP), this), control::kKeepBackup);
    backupBox_->setChecked(true);
    onlyUnverifiedBox_ = Named(new QCheckBox(UiText(IDS_UI_VERIFY_ONLY_UNVERIFIED), this), control::kOnlyUnverified);
    skipBox_ = Named(new QLineEdit(this), control::kSkipLinks);
    jobsBox_ = Named(new QSpinBox(this), control::kLinksAtOnce);
    jobsBox_->setRange(1, kMaxJobs);
    jobsBox_->setValue(1);
    verify_ = Named(new QPushButton(UiText(IDS_UI_VERIFY_VERIFY), this), control::kVerify);
    showResults_ = Named(new QPushButton(UiText(IDS_UI_VERIFY_SHOW_RESULTS), this), control::kShowResults);
    showResults_->setEnabled(false);
    showResults_->setToolTip(UiText(IDS_UI_TIP_SHOW_RESULTS));
    timeoutSlider_ = Named(new QSlider(Qt::Horizontal, this), control::kTimeoutSlider);
    retriesSlider_ = Named(new QSlider(Qt::Horizontal, this), control::kRetriesSlider);
    timeoutLabel_ = Named(NewPlainLabel(QString(), this), control::kTimeoutLabel);
    retriesLabel_ = Named(NewPlainLabel(QString(), this), control::kRetriesLabel);
    timeoutSlider_->setRange(0, kTimeoutMax);
    timeoutSlider_->setValue(kTimeoutStart);
    timeoutSlider_->setTickInterval(kTimeoutTicks);
    timeoutSlider_->setTickPosition(QSlider::TicksBelow);
    retriesSlider_->setRange(0, kRetriesMax);
    retriesSlider_->setValue(kRetriesStart);
    retriesSlider_->setTickInterval(1);
    retriesSlider_->setTickPosition(QSlider::TicksBelow);
    ShowSliderValues();
    // Wide enough for the longest value, so the sliders keep their length while moving.
    const int valueWidth = timeoutLabel_->fontMetrics().horizontalAdvance(
        ToQString(FormatString(IDS_UI_VERIFY_SECONDS, {kTimeoutMax})) + QStringLiteral("  "));
    timeoutLabel_->setMinimumWidth(valueWidth);
    retriesLabel_->setMinimumWidth(valueWidth);
    formatBox_->setToolTip(UiText(IDS_UI_TIP_VERIFY_FORMAT));
    interactiveBox_->setToolTip(UiText(IDS_UI_TIP_INTERACTIVE));
    renameBox_->setToolTip(UiText(IDS_UI_TIP_RENAME));
    confirmBox_->setToolTip(UiText(IDS_UI_TIP_CONFIRM));
    updateMovedBox_->setToolTip(UiText(IDS_UI_TIP_UPDATE_MOVED));
    archiveBox_->setToolTip(UiText(IDS_UI_TIP_SUGGEST_ARCHIVE));
    backupBox_->setToolTip(UiText(IDS_UI_TIP_KEEP_BACKUP));
    onlyUnverifiedBox_->setToolTip(UiText(IDS_UI_TIP_ONLY_UNVERIFIED));
    skipBox_->setToolTip(UiText(IDS_UI_TIP_SKIP));
    retriesSlider_->setToolTip(UiText(IDS_UI_TIP_RETRIES));
    jobsBox_->setToolTip(UiText(IDS_UI_TIP_LINKS_AT_ONCE));
}

void CVerify::LayOut() {
    auto* setGrid = new QGridLayout;
    setGrid->setColumnMinimumWidth(0, 12);
    setGrid->addWidget(NewBuddyLabel(UiText(IDS_UI_FORMAT_LABEL), formatBox_, this), 0, 1);
    setGrid->addWidget(formatBox_, 0, 2);
    setGrid->addWidget(NewBuddyLabel(UiText(IDS_UI_LOCATION_LABEL), locationBox_, this), 1, 1);
    setGrid->addWidget(locationBox_, 1, 2);
    setGrid->addWidget(browse_, 1, 3);
    setGrid->setColumnStretch(2, 1);

    auto* badLinks = new QVBoxLayout;
    badLinks->setContentsMargins(12, 0, 0, 0);
    badLinks->addWidget(interactiveBox_);
    badLinks->addWidget(renameBox_);
    badLinks->addWidget(confirmBox_);
    badLinks->addWidget(updateMovedBox_);
    badLinks->addWidget(archiveBox_);
    badLinks->addWidget(backupBox_);
    badLinks->addWidget(onlyUnverifiedBox_);
    auto* skipLine = new QHBoxLayout;
    skipLine->addWidget(NewBuddyLabel(UiText(IDS_UI_VERIFY_SKIP), skipBox_, this));
    skipLine->addWidget(skipBox_, 1);
    badLinks->addLayout(skipLine);

    auto* sliders = new QGridLayout;
    sliders->setColumnMinimumWidth(0, 12);
    sliders->addWidget(NewBuddyLabel(UiText(IDS_UI_VERIFY_TIMEOUT), timeoutSlider_, this), 0, 1);
    sliders->addWidget(timeoutSlider_, 0, 2);
    sliders->addWidget(timeoutLabel_, 0, 3);
    sliders->addWidget(NewBuddyLabel(UiText(IDS_UI_VERIFY_RETRIES), retriesSlider_, this), 1, 1);
    sliders->addWidget(retriesSlider_, 1, 2);
    sliders->addWidget(retriesLabel_, 1, 3);
    sliders->addWidget(NewBuddyLabel(UiText(IDS_UI_VERIFY_LINKS_AT_ONCE), jobsBox_, this), 2, 1);
    sliders->addWidget(jobsBox_, 2, 2, Qt::AlignLeft);
    sliders->setColumnStretch(2, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(statusLine_, 1);
    bottom->addWidget(showResults_, 0, Qt::AlignBottom);
    bottom->addWidget(verify_, 0, Qt::AlignBottom);
    statusLine_->setMinimumHeight(2 * statusLine_->fontMetrics().lineSpacing());

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(NewWrappedLabel(UiText(IDS_UI_VERIFY_INTRO), this));
    layout->addWidget(NewEtchedLine(this));
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_VERIFY_HEADING), this));
    layout->addLayout(setGrid);
    layout->addWidget(NewEtchedLine(this));
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_VERIFY_BAD_LINK_OPTIONS), this));
    layout->addLayout(badLinks);
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_VERIFY_CONNECTION_OPTIONS), this));
    layout->addLayout(sliders);
    layout->addStretch(1);
    layout->addWidget(NewEtchedLine(this));
    layout->addLayout(bottom);

    // The keyboard follows the page as it is read: top to bottom, left to right.
    QWidget* order[] = {formatBox_,     locationBox_,       browse_,         interactiveBox_,
                        renameBox_,     confirmBox_,        updateMovedBox_, archiveBox_,
                        backupBox_,     onlyUnverifiedBox_, skipBox_,        timeoutSlider_,
                        retriesSlider_, jobsBox_,           showResults_,    verify_};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void CVerify::Connect() {
    connect(formatBox_, &QComboBox::activated, this, [this] { OnFormatChanged(); });
    connect(browse_, &QPushButton::clicked, this, [this] { OnBrowse(); });
    connect(verify_, &QPushButton::clicked, this, [this] { OnVerify(); });
    connect(showResults_, &QPushButton::clicked, this, [this] { OnShowResults(); });
    locationBox_->SetEnterAction([this] { OnEnter(); });
    locationBox_->SetDropAction([this](const std::string& dropped) { OnDrop(dropped); });
    locationBox_->SetTypedAction([this] { OnLocationTyped(); });
    connect(timeoutSlider_, &QSlider::valueChanged, this, [this] { ShowSliderValues(); });
    connect(retriesSlider_, &QSlider::valueChanged, this, [this] { ShowSliderValues(); });
}

void CVerify::LoadRunOptions() {
    std::string value;
    if (store_.GetString(kOptionsKey, kLinksAtOnceValue, value)) {
        // A value that is no number in range leaves the control at its start.
        char* end = nullptr;
        long jobs = std::strtol(value.c_str(), &end, 10);
        if (end != value.c_str() && *end == '\0' && jobs >= 1 && jobs <= kMaxJobs)
            jobsBox_->setValue(static_cast<int>(jobs));
    }
    if (store_.GetString(kOptionsKey, kConfirmValue, value)) confirmBox_->setChecked(value == "1");
    if (store_.GetString(kOptionsKey, kKeepBackupValue, value)) backupBox_->setChecked(value != "0");
    if (store_.GetString(kOptionsKey, kUpdateMovedValue, value)) updateMovedBox_->setChecked(value == "1");
    if (store_.GetString(kOptionsKey, kSuggestArchiveValue, value)) archiveBox_->setChecked(value == "1");
    if (store_.GetString(kOptionsKey, kOnlyUnverifiedValue, value)) onlyUnverifiedBox_->setChecked(value == "1");
    if (store_.GetString(kOptionsKey, kSkipValue, value)) skipBox_->setText(ToQString(value));
}

void CVerify::RememberRunOptions() {
    store_.CreateKey(kOptionsKey);
    store_.SetString(kOptionsKey, kLinksAtOnceValue, std::to_string(jobsBox_->value()));
    store_.SetString(kOptionsKey, kConfirmValue, confirmBox_->isChecked() ? "1" : "0");
    store_.SetString(kOptionsKey, kKeepBackupValue, backupBox_->isChecked() ? "1" : "0");
    store_.SetString(kOptionsKey, kUpdateMovedValue, updateMovedBox_->isChecked() ? "1" : "0");
    store_.SetString(kOptionsKey, kSuggestArchiveValue, archiveBox_->isChecked() ? "1" : "0");
    store_.SetString(kOptionsKey, kOnlyUnverifiedValue, onlyUnverifiedBox_->isChecked() ? "1" : "0");
    store_.SetString(kOptionsKey, kSkipValue, FromQString(skipBox_->text()));
    store_.Save();
}

void CVerify::ShowSliderValues() {
    timeoutLabel_->setText(ToQString(FormatString(IDS_UI_VERIFY_SECONDS, {timeoutSlider_->value()})));
    const QString timeoutHelp =
        ToQString(FormatString(IDS_UI_VERIFY_TIMEOUT_HELP, {RequestLimitSeconds(timeoutSlider_->value())}));
    timeoutSlider_->setToolTip(timeoutHelp);
    timeoutLabel_->setToolTip(timeoutHelp);
    retriesLabel_->setText(ToQString(FormatString(IDS_UI_VERIFY_TIMES, {retriesSlider_->value()})));
}

void CVerify::WriteForm() {
    ShowFormatInBox(formatBox_, settings.format);
    locationBox_->SetText(settings.location);
    renameBox_->setChecked(settings.renameInPlace);
    interactiveBox_->setChecked(settings.interactiveRepair);
}

bool CVerify::ReadForm() {
    locationBox_->ExpandHome();
    settings.format = FormatInBox(formatBox_);
    settings.location = locationBox_->Text();
    settings.renameInPlace = renameBox_->isChecked();
    settings.interactiveRepair = interactiveBox_->isChecked();
    settings.timeoutSeconds = timeoutSlider_->value();
    settings.retryCount = retriesSlider_->value();
    settings.jobs = jobsBox_->value();
    settings.confirm = confirmBox_->isChecked();
    settings.keepBackup = backupBox_->isChecked();
    settings.updateMoved = updateMovedBox_->isChecked();
    // The archive asked stays what settings.archiveUrl says (the default archive unless set).
    settings.suggestArchive = archiveBox_->isChecked();
    settings.onlyUnverified = onlyUnverifiedBox_->isChecked();
    SkipList skip = ParseSkipList(FromQString(skipBox_->text()));
    settings.skipPatterns = std::move(skip.patterns);
    settings.skipFolders = std::move(skip.folders);
    return true;
}

void CVerify::OnFormatChanged() {
    settings.format = FormatInBox(formatBox_);
    LoadRecentLocations(store_, RecentPage::Verify, settings.format, *locationBox_);
    locationBox_->SetOffered(FindStoreLocations(settings.format, places));
    settings.location = locationBox_->Text();
}

void CVerify::OnBrowse() {
    const std::string current = locationBox_->Text();
    const std::string result =
        BrowseForLocation(FormatInBox(formatBox_), ChooserPurpose::Verify, current, prompter_, places);
    if (!result.empty() && result != current) {
        OnDrop(result);
        return;
    }
    settings.location = result;
    locationBox_->SetText(result);
}

void CVerify::OnDrop(const std::string& dropped) {
    if (FollowFormat(formatBox_, GuessSourceFormat(dropped).format)) OnFormatChanged();
    settings.location = dropped;
    locationBox_->SetText(dropped);
}

void CVerify::OnLocationTyped() {
    // A box losing the focus to a run's own message box is no new location.
    if (BusyScope::Active()) return;
    locationBox_->ExpandHome();
    const std::string typed = locationBox_->Text();
    if (!typed.empty()) OnDrop(typed);
}

void CVerify::OnEnter() {
    if (FormatInBox(formatBox_) == UrlSetFormat::None) {
        formatBox_->setFocus(Qt::OtherFocusReason);
    } else if (locationBox_->Text().empty()) {
        locationBox_->setFocus(Qt::OtherFocusReason);
    } else {
        OnVerify();
    }
}

void CVerify::OnVerify() {
    // A location typed and run at once never left its box: its format follows it now.
    if (locationBox_->Text() != settings.location) OnLocationTyped();
    ReadForm();
    BusyScope busy(this);
    RememberRunOptions();

    LabelText status(statusLine_);
    // A run that stops at its first check sets no status; the last run's text must not stay.
    status.SetText({});
    CVerifyProgress progress;
    CUrlRepair repair;
    CCookieWarning cookieWarning;
    VerifyFrontEnd frontEnd;
    frontEnd.prompter = &prompter_;
    frontEnd.statusLine = &status;
    frontEnd.progress = &progress;
    frontEnd.repair = &repair;
    frontEnd.cookieWarning = &cookieWarning;
    frontEnd.locationBox = locationBox_;
    frontEnd.store = &store_;
    MessageNote notes(prompter_);
    frontEnd.notes = &notes;
    frontEnd.requestOptions = requestOptions;
    // The results window lists what the run did with each link.
    settings.keepRecords = true;
    ShowOutcome(RunVerification(verifiedStorage, settings, frontEnd));
}

void CVerify::ShowOutcome(const VerifyOutcome& outcome) {
    // A command that ended before or without its run must not leave the reader's "file loaded"
    // on the status line, which reads as success.
    int failure = 0;
    switch (outcome.end) {
        case VerifyEnd::NotOpened:
            failure = IDS_MSG_VERIFY_UNABLE_TO_OPEN;
            break;
        case VerifyEnd::NotRead:
            failure = IDS_MSG_VERIFY_UNABLE_TO_READ;
            break;
        case VerifyEnd::NotWritable:
            failure = IDS_MSG_VERIFY_UNABLE_TO_SAVE;
            break;
        case VerifyEnd::ReportRefused:
            failure = IDS_VERIFY_END_REPORT;
            break;
        case VerifyEnd::CookieCanceled:
            failure = IDS_VERIFY_CANCELED;
            break;
        case VerifyEnd::NoRequests:
            failure = IDS_VERIFY_END_NO_REQUESTS;
            break;
        case VerifyEnd::NotSaved:
            statusLine_->setText(ToQString(FormatString(IDS_VERIFY_STATUS, {std::string(), outcome.summary,
                                                                            LoadString(IDS_MSG_VERIFY_UNABLE_TO_SAVE)}))
                                     .trimmed());
            break;
        case VerifyEnd::NetworkDown:   // the run said why it saved nothing
        case VerifyEnd::NotConfirmed:  // on the status line, and its results stand
        case VerifyEnd::Ran:
            break;
    }
    if (failure != 0) {
        statusLine_->setText(UiText(failure));
        return;
    }
    VerifyResults results;
    results.settings = settings;
    results.summary.result = outcome.result;
    results.summary.counts = outcome.counts;
    results.summary.saved = outcome.saved;
    results.summary.text = FromQString(statusLine_->text());
    results.records = outcome.records;
    if (results_ == nullptr) {
        // A window of the sheet, so that it takes clicks and keys while the sheet is up.
        results_ = new CVerifyResults(prompter_, window());
    }
    results_->SetResults(std::move(results));
    showResults_->setEnabled(true);
    OnShowResults();
}

void CVerify::OnShowResults() {
    if (results_ == nullptr) return;
    results_->show();
    results_->raise();
    results_->activateWindow();
}

}  // namespace tolva
