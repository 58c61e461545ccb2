#include "gui/cookie_warning_dialog.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/control_ids.h"
#include "resources/strings.h"
#include "gui/qt_person.h"

namespace tolva {

CCookieWarning::CCookieWarning(QWidget* parent) : QDialog(parent), choices_(new QButtonGroup(this)) {
    setWindowTitle(UiText(IDS_UI_COOKIE_TITLE));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* text = NewPlainLabel(UiText(IDS_UI_COOKIE_TEXT), this);
    text->setWordWrap(true);

    auto* group = new QGroupBox(UiText(IDS_UI_COOKIE_GROUP), this);
    auto* groupLayout = new QVBoxLayout(group);
    const struct {
        int id;
        int textId;
    } buttons[] = {{control::kCookiesPrompt, IDS_UI_COOKIE_PROMPT}, {control::kCookiesDuringRun, IDS_UI_COOKIE_DURING}, {control::kCookiesAlways, IDS_UI_COOKIE_ALWAYS}};
    int index = 0;
    for (const auto& button : buttons) {
        auto* radio = new QRadioButton(UiText(button.textId), group);
        Named(radio, button.id);
        choices_->addButton(radio, index++);
        groupLayout->addWidget(radio);
    }

    auto* ok = new QPushButton(UiText(IDS_UI_PROGRESS_OK), this);
    Named(ok, control::kOk);
    ok->setDefault(true);
    auto* cancel = new QPushButton(UiText(IDS_UI_PROGRESS_CANCEL), this);
    Named(cancel, control::kCancel);
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    row->addWidget(ok);
    row->addStretch(1);
    row->addWidget(cancel);
    row->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addWidget(group);
    layout->addLayout(row);
    setMinimumWidth(440);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

int CCookieWarning::DoModal(int& choice) {
    // An exclusive group cannot clear its checked button; lift that for a moment.
    choices_->setExclusive(false);
    for (QAbstractButton* button : choices_->buttons()) button->setChecked(false);
    choices_->setExclusive(true);
    if (QAbstractButton* button = choices_->button(choice)) button->setChecked(true);
    if (exec() != QDialog::Accepted) return kDialogCancel;
    choice = choices_->checkedId();
    return kDialogOk;
}

}  // namespace tolva
