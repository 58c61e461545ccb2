#include "gui/url_repair_dialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/control_ids.h"
#include "resources/strings.h"
#include "gui/qt_person.h"

namespace tolva {

namespace {

QLabel* NewDataLabel(QWidget* parent, int id) {
    QLabel* label = NewPlainLabel(QString(), parent);
    Named(label, id);
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(380);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

}  // namespace

CUrlRepair::CUrlRepair(QWidget* parent) : QDialog(parent) {
    setWindowTitle(UiText(IDS_UI_REPAIR_TITLE));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    name_ = NewDataLabel(this, control::kRepairName);
    url_ = NewDataLabel(this, control::kRepairUrl);
    errorText_ = NewDataLabel(this, control::kRepairErrorText);
    archived_ = NewDataLabel(this, control::kRepairArchivedUrl);
    archivedLabel_ = NewPlainLabel(UiText(IDS_UI_REPAIR_ARCHIVED_URL), this);
    newUrl_ = new QPlainTextEdit(this);
    Named(newUrl_, control::kRepairNewUrl);
    newUrl_->setTabChangesFocus(true);
    newUrl_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    newUrl_->setWordWrapMode(QTextOption::WrapAnywhere);
    newUrl_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    newUrl_->setFixedHeight(3 * newUrl_->fontMetrics().lineSpacing());
    newUrl_->installEventFilter(this);

    auto* group = new QGroupBox(UiText(IDS_UI_REPAIR_GROUP), this);
    auto* grid = new QGridLayout(group);
    grid->addWidget(NewPlainLabel(UiText(IDS_UI_PROGRESS_NAME), this), 0, 0, Qt::AlignRight);
    grid->addWidget(name_, 0, 1);
    grid->addWidget(NewPlainLabel(UiText(IDS_UI_PROGRESS_URL), this), 1, 0, Qt::AlignRight);
    grid->addWidget(url_, 1, 1);
    grid->addWidget(NewPlainLabel(UiText(IDS_UI_PROGRESS_ERROR), this), 2, 0, Qt::AlignRight);
    grid->addWidget(errorText_, 2, 1);
    grid->addWidget(archivedLabel_, 3, 0, Qt::AlignRight);
    grid->addWidget(archived_, 3, 1);
    grid->setColumnStretch(1, 1);

    auto* hint = NewPlainLabel(UiText(IDS_UI_REPAIR_HINT), this);
    hint->setWordWrap(true);

    auto* edit = new QHBoxLayout;
    edit->addWidget(NewPlainLabel(UiText(IDS_UI_REPAIR_NEW_URL), this), 0, Qt::AlignTop);
    edit->addWidget(newUrl_, 1);

    auto* repair = new QPushButton(UiText(IDS_UI_REPAIR_OK), this);
    Named(repair, control::kOk);
    repair->setDefault(true);
    auto* reject = new QPushButton(UiText(IDS_UI_REPAIR_CANCEL), this);
    Named(reject, control::kCancel);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(repair);
    buttons->addWidget(reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(hint);
    layout->addLayout(edit);
    layout->addLayout(buttons);

    setTabOrder(newUrl_, repair);
    setTabOrder(repair, reject);
    connect(repair, &QPushButton::clicked, this, &QDialog::accept);
    connect(reject, &QPushButton::clicked, this, &QDialog::reject);
}

bool CUrlRepair::eventFilter(QObject* watched, QEvent* event) {
    // Enter answers the dialog as in any other box; Ctrl+Enter still types a line break,
    // which the run removes again.
    if (watched == newUrl_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            !(key->modifiers() & Qt::ControlModifier)) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

int CUrlRepair::DoModal(UrlRepairFields& fields) {
    errorText_->setText(ToQString(fields.errorText));
    name_->setText(ToQString(fields.name));
    url_->setText(ToQString(fields.url));
    // Shown only when the run found one; the new URL box then proposes it.
    archived_->setText(ToQString(fields.archivedUrl));
    archived_->setVisible(!fields.archivedUrl.empty());
    archivedLabel_->setVisible(!fields.archivedUrl.empty());
    newUrl_->setPlainText(ToQString(fields.newUrl));
    newUrl_->selectAll();
    newUrl_->setFocus();
    if (exec() != QDialog::Accepted) return kDialogCancel;
    fields.newUrl = FromQString(newUrl_->toPlainText());
    return kDialogOk;
}

}  // namespace tolva
