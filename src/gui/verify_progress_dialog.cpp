#include "gui/verify_progress_dialog.h"

#include <QEventLoop>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/control_ids.h"
#include "gui/qt_person.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// A label for a name, URL or server text: plain text, and clipped rather than widening the
// window when a URL is long.
QLabel* NewDataLabel(QWidget* parent, int id) {
    QLabel* label = Named(NewPlainLabel(UiText(IDS_UI_PROGRESS_DOT), parent), id);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(360);
    return label;
}

void AddRow(QGridLayout* grid, int row, int captionId, QLabel* value, QWidget* parent) {
    grid->addWidget(NewPlainLabel(UiText(captionId), parent), row, 0, Qt::AlignRight);
    grid->addWidget(value, row, 1);
}

}  // namespace

CVerifyProgress::CVerifyProgress(QWidget* parent) : QDialog(parent) {
    setWindowTitle(UiText(IDS_UI_PROGRESS_TITLE));
    setWindowModality(Qt::ApplicationModal);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    okButton_ = Named(new QPushButton(UiText(IDS_UI_PROGRESS_OK), this), control::kOk);
    cancelButton_ = Named(new QPushButton(UiText(IDS_UI_PROGRESS_CANCEL), this), control::kCancel);
    okButton_->setDefault(true);
    progressBar_ = Named(new QProgressBar(this), control::kVerifyProgressBar);
    progressBar_->setTextVisible(false);
    progressBar_->setRange(0, 1);
    progressBar_->setValue(0);
    testingLine_ = Named(NewPlainLabel(UiText(IDS_UI_PROGRESS_TESTING), this), control::kTestingLine);
    currentName_ = NewDataLabel(this, control::kCurrentName);
    currentUrl_ = NewDataLabel(this, control::kCurrentUrl);
    currentStatus_ = NewDataLabel(this, control::kCurrentStatus);
    lastErrorName_ = NewDataLabel(this, control::kLastErrorName);
    lastErrorUrl_ = NewDataLabel(this, control::kLastErrorUrl);
    lastErrorText_ = NewDataLabel(this, control::kLastErrorText);

    LoadPictures();
    auto* icon = new QLabel(this);
    icon->setPixmap(QPixmap(QStringLiteral(":/tolva/tolva-32.png")));
    auto* hint = NewPlainLabel(UiText(IDS_UI_PROGRESS_HINT), this);
    hint->setWordWrap(true);

    auto* left = new QVBoxLayout;
    auto* iconRow = new QHBoxLayout;
    iconRow->addWidget(icon, 0, Qt::AlignTop);
    iconRow->addWidget(testingLine_, 1, Qt::AlignBottom);
    left->addLayout(iconRow);
    left->addWidget(progressBar_);
    auto* right = new QVBoxLayout;
    right->addWidget(hint);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(okButton_);
    buttons->addWidget(cancelButton_);
    right->addLayout(buttons);
    auto* top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right, 1);

    auto* current = new QGroupBox(UiText(IDS_UI_PROGRESS_CURRENTLY), this);
    auto* currentGrid = new QGridLayout(current);
    AddRow(currentGrid, 0, IDS_UI_PROGRESS_NAME, currentName_, this);
    AddRow(currentGrid, 1, IDS_UI_PROGRESS_URL, currentUrl_, this);
    AddRow(currentGrid, 2, IDS_UI_PROGRESS_STATUS, currentStatus_, this);
    currentGrid->setColumnStretch(1, 1);

    auto* lastError = new QGroupBox(UiText(IDS_UI_PROGRESS_LAST_ERROR), this);
    auto* errorGrid = new QGridLayout(lastError);
    AddRow(errorGrid, 0, IDS_UI_PROGRESS_NAME, lastErrorName_, this);
    AddRow(errorGrid, 1, IDS_UI_PROGRESS_URL, lastErrorUrl_, this);
    AddRow(errorGrid, 2, IDS_UI_PROGRESS_ERROR, lastErrorText_, this);
    errorGrid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(current);
    layout->addWidget(lastError);

    setTabOrder(okButton_, cancelButton_);
    connect(okButton_, &QPushButton::clicked, this, &CVerifyProgress::OnOK);
    connect(cancelButton_, &QPushButton::clicked, this, &CVerifyProgress::OnCancel);
}

VerifyResult CVerifyProgress::DoModal(VerificationRun& run) {
    VerifyResult result = VerifyResult::NotRun;
    run_ = &run;
    QTimer::singleShot(0, this, [this, &run, &result] {
        result = run.Run();
        run_ = nullptr;
        done(static_cast<int>(result));
    });
    exec();
    return result;
}

void CVerifyProgress::SetTestingLine(const std::string& text) { testingLine_->setText(ToQString(text)); }

void CVerifyProgress::SetProgressRange(int minimum, int maximum) { progressBar_->setRange(minimum, maximum); }

void CVerifyProgress::SetProgressPos(int position) { progressBar_->setValue(position); }

void CVerifyProgress::SetCurrentName(const std::string& text) { currentName_->setText(ToQString(text)); }

void CVerifyProgress::SetCurrentUrl(const std::string& text) { currentUrl_->setText(ToQString(text)); }

void CVerifyProgress::SetCurrentStatus(const std::string& text) { currentStatus_->setText(ToQString(text)); }

void CVerifyProgress::SetLastError(const std::string& name, const std::string& url, const std::string& text) {
    lastErrorName_->setText(ToQString(name));
    lastErrorUrl_->setText(ToQString(url));
    lastErrorText_->setText(ToQString(text));
}

void CVerifyProgress::Wait(const Waiter& waiter, VerificationRun&) {
    // Sleeps in the event loop until the worker posts a record or the person stops the run,
    // so the window repaints and its buttons answer while the request is outstanding.
    QEventLoop loop;
    QSocketNotifier notifier(waiter.Fd(), QSocketNotifier::Read);
    connect(&notifier, &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    waitLoop_ = &loop;
    loop.exec();
    waitLoop_ = nullptr;
}

TextControl* CVerifyProgress::SaveStatus() {
    // The save cannot be stopped half-way: the buttons go grey, and Escape and the close box
    // find no run to stop.
    run_ = nullptr;
    okButton_->setEnabled(false);
    cancelButton_->setEnabled(false);
    testingLine_->setText(UiText(IDS_VERIFY_SAVING));
    currentName_->setText(UiText(IDS_UI_PROGRESS_DOT));
    currentUrl_->setText(UiText(IDS_UI_PROGRESS_DOT));
    // Paced like every control a run sets, so a long save keeps the window painted.
    saveStatus_ = std::make_unique<LabelText>(currentStatus_);
    return saveStatus_.get();
}

void CVerifyProgress::WakeWait() {
    if (waitLoop_ != nullptr) waitLoop_->quit();
}

void CVerifyProgress::OnOK() {
    if (run_ != nullptr) run_->OnOK();
    WakeWait();
}

void CVerifyProgress::OnCancel() {
    if (run_ != nullptr) run_->OnCancel();
    WakeWait();
}

void CVerifyProgress::accept() { OnOK(); }

void CVerifyProgress::reject() { OnCancel(); }

}  // namespace tolva
