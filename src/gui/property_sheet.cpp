#include "gui/property_sheet.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLayout>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "resources/strings.h"
#include "gui/qt_person.h"

namespace tolva {

void PropertyPage::CancelToClose() {
    if (sheet_ != nullptr) sheet_->CancelToClose();
}

PropertySheet::PropertySheet(const QString& caption, QWidget* parent)
    : QDialog(parent), tabs_(new QTabWidget(this)), buttons_(new QDialogButtonBox(this)) {
    setWindowTitle(caption);
    setModal(true);
    buttons_->setStandardButtons(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    // A default OK would take every Enter pressed in a box or on a check box and end the program.
    for (QAbstractButton* button : buttons_->buttons()) {
        if (auto* push = qobject_cast<QPushButton*>(button)) {
            push->setDefault(false);
            push->setAutoDefault(false);
        }
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &PropertySheet::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &PropertySheet::reject);
    connect(tabs_, &QTabWidget::currentChanged, this, &PropertySheet::OnTabChanged);
}

void PropertySheet::AddPage(PropertyPage* page, const QString& tabCaption) {
    page->SetSheet(this);
    pages_.push_back(page);
    QSignalBlocker block(tabs_);
    tabs_->addTab(page, tabCaption);
    tabs_->setCurrentIndex(shownIndex_);
}

int PropertySheet::CurrentPageIndex() const { return shownIndex_; }

void PropertySheet::CancelToClose() {
    buttons_->button(QDialogButtonBox::Ok)->setText(ToQString(LoadString(IDS_UI_CLOSE)));
    buttons_->button(QDialogButtonBox::Cancel)->setEnabled(false);
}

void PropertySheet::showEvent(QShowEvent* event) {
    if (!formWritten_ && !pages_.empty()) {
        formWritten_ = true;
        FitPagesToWidth();
        pages_[static_cast<std::size_t>(shownIndex_)]->WriteForm();
    }
    QDialog::showEvent(event);
}

void PropertySheet::FitPagesToWidth() {
    const int width = tabs_->currentWidget()->width();
    for (PropertyPage* page : pages_) {
        if (page->layout() == nullptr) continue;
        const int needed = page->layout()->totalMinimumHeightForWidth(width);
        if (needed > page->minimumHeight()) page->setMinimumHeight(needed);
    }
}

void PropertySheet::keyPressEvent(QKeyEvent* event) {
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Escape && modifiers == Qt::NoModifier &&
        !buttons_->button(QDialogButtonBox::Cancel)->isEnabled()) {
        event->accept();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && modifiers == Qt::NoModifier) {
        event->accept();
        auto* button = qobject_cast<QPushButton*>(focusWidget());
        if (button != nullptr && button->isVisible() && button->isEnabled()) {
            button->click();
        } else if (!pages_.empty()) {
            pages_[static_cast<std::size_t>(shownIndex_)]->OnEnter();
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

void PropertySheet::OnTabChanged(int index) {
    if (index == shownIndex_ || index < 0 || static_cast<std::size_t>(index) >= pages_.size()) return;
    // Put the page being left back in front first, so a refusal is shown over it.
    {
        QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(shownIndex_);
    }
    if (!pages_[static_cast<std::size_t>(shownIndex_)]->ReadForm()) return;
    {
        QSignalBlocker block(tabs_);
        tabs_->setCurrentIndex(index);
    }
    shownIndex_ = index;
    pages_[static_cast<std::size_t>(index)]->WriteForm();
}

void PropertySheet::accept() {
    if (!pages_.empty() && !pages_[static_cast<std::size_t>(shownIndex_)]->ReadForm()) return;
    QDialog::accept();
}

}  // namespace tolva
