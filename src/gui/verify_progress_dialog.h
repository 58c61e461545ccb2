#pragma once
// "Verification progress": the window in which a verification run shows the link under test
// and the last failure, and whose OK and Cancel stop the run. The run itself stays in the
// core: the window only shows what it is told and, while a request is outstanding, keeps
// the event loop alive until the request's worker signals or the person stops the run.

#include <QDialog>
#include <memory>

#include "verify/verification_run.h"

class QEventLoop;
class QLabel;
class QProgressBar;
class QPushButton;

namespace tolva {

class CVerifyProgress final : public QDialog, public VerifyProgressView {
public:
    explicit CVerifyProgress(QWidget* parent = nullptr);

    // Shows the window modally and performs the run inside its event loop, starting it once
    // the window is up; the window closes itself when the run returns.
    VerifyResult DoModal(VerificationRun& run) override;

    void SetTestingLine(const std::string& text) override;
    void SetProgressRange(int minimum, int maximum) override;
    void SetProgressPos(int position) override;
    void SetCurrentName(const std::string& text) override;
    void SetCurrentUrl(const std::string& text) override;
    void SetCurrentStatus(const std::string& text) override;
    void SetLastError(const std::string& name, const std::string& url, const std::string& text) override;
    void Wait(const Waiter& waiter, VerificationRun& run) override;
    TextControl* SaveStatus() override;

    // OK, Cancel, Escape and the close box only ask the run to stop; the window closes when
    // the run has finished.
    void OnOK();
    void OnCancel();
    void accept() override;
    void reject() override;

private:
    void WakeWait();

    VerificationRun* run_ = nullptr;
    QEventLoop* waitLoop_ = nullptr;
    QPushButton* okButton_;
    QPushButton* cancelButton_;
    QProgressBar* progressBar_;
    QLabel* testingLine_;
    QLabel* currentName_;
    QLabel* currentUrl_;
    QLabel* currentStatus_;
    QLabel* lastErrorName_;
    QLabel* lastErrorUrl_;
    QLabel* lastErrorText_;
    std::unique_ptr<TextControl> saveStatus_;
};

}  // namespace tolva
