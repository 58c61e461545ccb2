#include "gui/verify_results_dialog.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>
#include <cerrno>

#include "gui/qt_person.h"
#include "gui/qt_pickers.h"
#include "resources/strings.h"

namespace tolva {

namespace {

enum Column { kFolder, kName, kUrl, kOutcome, kError, kFinalUrl, kArchivedUrl, kColumns };

constexpr int kColumnTitles[kColumns] = {IDS_UI_RESULTS_FOLDER,    IDS_UI_RESULTS_NAME,  IDS_UI_RESULTS_URL,
                                         IDS_UI_RESULTS_OUTCOME,   IDS_UI_RESULTS_ERROR, IDS_UI_RESULTS_FINAL_URL,
                                         IDS_UI_RESULTS_ARCHIVED_URL};
// What a run does with a link that works and stays where it is: the one outcome not listed.
constexpr char kKeptAction[] = "kept";

QStandardItem* NewCell(const std::string& text) {
    auto* item = new QStandardItem(ToQString(text));
    item->setEditable(false);
    // A column may cut a long URL or name: its tip shows it whole.
    item->setToolTip(item->text());
    return item;
}

}  // namespace

// Rows of one outcome (or all) that hold the text looked for in any column.
class LinkFilter final : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void SetOutcome(const QString& outcome) {
        outcome_ = outcome;
        invalidateFilter();
    }
    void SetText(const QString& text) {
        text_ = text;
        invalidateFilter();
    }

protected:
    bool filterAcceptsRow(int row, const QModelIndex& parent) const override {
        const QAbstractItemModel* model = sourceModel();
        if (!outcome_.isEmpty() && model->index(row, kOutcome, parent).data().toString() != outcome_) return false;
        if (text_.isEmpty()) return true;
        for (int column = 0; column < kColumns; ++column) {
            if (model->index(row, column, parent).data().toString().contains(text_, Qt::CaseInsensitive)) return true;
        }
        return false;
    }

private:
    QString outcome_;
    QString text_;
};

CVerifyResults::CVerifyResults(Prompter& prompter, QWidget* parent)
    : QDialog(parent),
      prompter_(prompter),
      summary_(NewWrappedLabel(QString(), this)),
      nothing_(NewWrappedLabel(UiText(IDS_UI_RESULTS_NOTHING), this)),
      outcomeBox_(new QComboBox(this)),
      findBox_(new QLineEdit(this)),
      table_(new QTableView(this)),
      model_(new QStandardItemModel(0, kColumns, this)),
      filter_(new LinkFilter(this)) {
    setWindowTitle(UiText(IDS_UI_RESULTS_TITLE));
    setModal(false);
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (int column = 0; column < kColumns; ++column) {
        model_->setHeaderData(column, Qt::Horizontal, UiText(kColumnTitles[column]));
    }
    filter_->setSourceModel(model_);
    table_->setModel(filter_);
    table_->setSortingEnabled(true);
    table_->sortByColumn(-1, Qt::AscendingOrder);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    findBox_->setPlaceholderText(UiText(IDS_UI_RESULTS_FIND_HINT));
    findBox_->setClearButtonEnabled(true);

    auto* filters = new QHBoxLayout;
    filters->addWidget(NewBuddyLabel(UiText(IDS_UI_RESULTS_SHOW), outcomeBox_, this));
    filters->addWidget(outcomeBox_);
    filters->addSpacing(12);
    filters->addWidget(NewBuddyLabel(UiText(IDS_UI_RESULTS_FIND), findBox_, this));
    filters->addWidget(findBox_, 1);
    auto* buttons = new QDialogButtonBox(this);
    auto* save = buttons->addButton(UiText(IDS_UI_RESULTS_SAVE), QDialogButtonBox::ActionRole);
    auto* close = buttons->addButton(UiText(IDS_UI_RESULTS_CLOSE), QDialogButtonBox::RejectRole);
    // Enter in the find box must not close the window.
    save->setAutoDefault(false);
    close->setAutoDefault(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(summary_);
    layout->addLayout(filters);
    layout->addWidget(nothing_);
    layout->addWidget(table_, 1);
    layout->addWidget(NewPlainLabel(UiText(IDS_UI_RESULTS_HINT), this));
    layout->addWidget(buttons);
    table_->setMinimumSize(780, 180);

    connect(outcomeBox_, &QComboBox::currentIndexChanged, this,
            [this](int index) { filter_->SetOutcome(index <= 0 ? QString() : outcomeBox_->itemText(index)); });
    connect(findBox_, &QLineEdit::textChanged, this, [this](const QString& text) { filter_->SetText(text); });
    connect(table_, &QTableView::doubleClicked, this,
            [this](const QModelIndex& index) { OpenRow(index.row(), index.column() == kArchivedUrl); });
    connect(save, &QPushButton::clicked, this, [this] { OnSaveReport(); });
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

void CVerifyResults::SetResults(VerifyResults results) {
    results_ = std::move(results);
    summary_->setText(ToQString(results_.summary.text));
    model_->removeRows(0, model_->rowCount());
    outcomeBox_->clear();
    outcomeBox_->addItem(UiText(IDS_UI_RESULTS_ALL));
    findBox_->clear();
    // Outcomes are listed as the run names them, whatever they are, in the order first met.
    for (const LinkRecord& record : results_.records) {
        if (record.action == kKeptAction) continue;
        const QString outcome = ToQString(record.action);
        if (outcomeBox_->findText(outcome) < 0) outcomeBox_->addItem(outcome);
        model_->appendRow({NewCell(record.folder), NewCell(record.name), NewCell(record.url), NewCell(record.action),
                           NewCell(record.errorText), NewCell(record.finalUrl), NewCell(record.archivedUrl)});
    }
    const bool listed = model_->rowCount() > 0;
    nothing_->setVisible(!listed);
    table_->setVisible(listed);
    table_->resizeColumnsToContents();
    for (int column = 0; column < kColumns; ++column) {
        table_->setColumnWidth(column, std::min(table_->columnWidth(column), 260));
    }
}

int CVerifyResults::ShownCount() const { return filter_->rowCount(); }

void CVerifyResults::OpenRow(int row, bool archivedCopy) {
    const QString archived = filter_->index(row, kArchivedUrl).data().toString();
    const QString url = archivedCopy && !archived.isEmpty() ? archived : filter_->index(row, kUrl).data().toString();
    if (!url.isEmpty()) QDesktopServices::openUrl(QUrl(url));
}

bool CVerifyResults::SaveReport(const std::string& path) {
    VerifySettings settings = results_.settings;
    settings.reportPath = path;
    if (WriteReport(settings, results_.summary, results_.records)) return true;
    const int error = errno;
    prompter_.ShowMessage(FormatString(IDS_MSG_VERIFY_UNABLE_TO_REPORT, {path, error}),
                          LoadString(IDS_MSG_CAPTION_RUN));
    return false;
}

void CVerifyResults::OnSaveReport() {
    const std::string path = ChooseReportFile(results_.settings.location, IDS_UI_PICK_REPORT_TITLE);
    if (!path.empty()) SaveReport(path);
}

}  // namespace tolva
