#pragma once
// "Interactive URL Repair": shown by the verification run for each failed test when the
// person asked to repair bad links. It shows the link and its error and lets the person
// edit the URL; the run decides what the answer means.

#include <QDialog>

#include "verify/verification_run.h"

class QLabel;
class QPlainTextEdit;

namespace tolva {

class CUrlRepair final : public QDialog, public UrlRepairPrompt {
public:
    explicit CUrlRepair(QWidget* parent = nullptr);

    // kDialogOk with newUrl read back ("Repair or Ignore"), kDialogCancel otherwise.
    int DoModal(UrlRepairFields& fields) override;

    QPlainTextEdit* NewUrlBox() const { return newUrl_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* errorText_;
    QLabel* name_;
    QLabel* url_;
    QLabel* archivedLabel_;
    QLabel* archived_;
    QPlainTextEdit* newUrl_;
};

}  // namespace tolva
