#pragma once
// "Internet Cookie Warning": asked before a verification when the settings would have the
// person prompted for every cookie. The run decides what the chosen button means.

#include <QDialog>

#include "verify/verification_run.h"

class QButtonGroup;

namespace tolva {

class CCookieWarning final : public QDialog, public CookieWarningPrompt {
public:
    explicit CCookieWarning(QWidget* parent = nullptr);

    // Selects the button of choice (none for a value outside 0..2), shows the dialog; on OK
    // choice becomes the selected button and kDialogOk is returned, else kDialogCancel.
    int DoModal(int& choice) override;

    QButtonGroup* Choices() const { return choices_; }

private:
    QButtonGroup* choices_;
};

}  // namespace tolva
