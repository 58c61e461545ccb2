#include "gui/merge_source_list.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>

#include "formats/storage_errors.h"
#include "gui/location_drop.h"
#include "gui/qt_person.h"
#include "resources/strings.h"

namespace tolva {

namespace {

enum Column { kLocationColumn = 0, kFormatColumn = 1 };
constexpr int kFormatRole = Qt::UserRole;
// Enough rows to see a few sets without pushing the rest of the page off a small screen.
constexpr int kVisibleRows = 4;

}  // namespace

MergeSourceList::MergeSourceList(QWidget* parent) : QTreeWidget(parent) {
    setColumnCount(2);
    setHeaderLabels({UiText(IDS_UI_MERGE_LOCATION_COLUMN), UiText(IDS_UI_MERGE_FORMAT_COLUMN)});
    setRootIsDecorated(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    // Tab leaves the list rather than walking its cells.
    setTabKeyNavigation(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(kLocationColumn, QHeaderView::Stretch);
    header()->setSectionResizeMode(kFormatColumn, QHeaderView::ResizeToContents);
    // Drops are the page's, never a move of the list's own rows.
    setDragDropMode(QAbstractItemView::DropOnly);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setMinimumHeight(header()->sizeHint().height() + kVisibleRows * fontMetrics().lineSpacing());
}

void MergeSourceList::AddSource(const MergeSource& source) {
    auto* row = new QTreeWidgetItem(this);
    row->setText(kLocationColumn, ToQString(source.location));
    // The column cuts a long path: its tip shows the whole of it.
    row->setToolTip(kLocationColumn, ToQString(source.location));
    ShowFormat(row, source.format);
    setCurrentItem(row);
}

std::vector<MergeSource> MergeSourceList::Sources() const {
    std::vector<MergeSource> sources;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = topLevelItem(i);
        sources.push_back({static_cast<UrlSetFormat>(row->data(kFormatColumn, kFormatRole).toInt()),
                           FromQString(row->text(kLocationColumn))});
    }
    return sources;
}

UrlSetFormat MergeSourceList::SelectedFormat() const {
    const QTreeWidgetItem* row = currentItem();
    return row ? static_cast<UrlSetFormat>(row->data(kFormatColumn, kFormatRole).toInt()) : UrlSetFormat::None;
}

void MergeSourceList::SetSelectedFormat(UrlSetFormat format) {
    if (QTreeWidgetItem* row = currentItem()) ShowFormat(row, format);
}

void MergeSourceList::RemoveSelected() {
    const int index = indexOfTopLevelItem(currentItem());
    if (index < 0) return;
    delete takeTopLevelItem(index);
    if (topLevelItemCount() > 0) setCurrentItem(topLevelItem(std::min(index, topLevelItemCount() - 1)));
}

void MergeSourceList::ShowFormat(QTreeWidgetItem* row, UrlSetFormat format) {
    row->setData(kFormatColumn, kFormatRole, static_cast<int>(format));
    row->setText(kFormatColumn,
                 format == UrlSetFormat::None ? UiText(IDS_UI_MERGE_NO_FORMAT) : ToQString(FormatTitle(format)));
}

void MergeSourceList::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Delete && event->modifiers() == Qt::NoModifier && removeAction_) {
        removeAction_();
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}

void MergeSourceList::dragEnterEvent(QDragEnterEvent* event) { AnswerLocationDrop(event, DropCount::Many); }

void MergeSourceList::dragMoveEvent(QDragMoveEvent* event) { AnswerLocationDrop(event, DropCount::Many); }

void MergeSourceList::dropEvent(QDropEvent* event) {
    // Without the page's action nothing would take the rows: refuse rather than swallow the drop.
    if (!dropAction_) {
        event->ignore();
        return;
    }
    const std::vector<std::string> locations = AnswerLocationDrop(event, DropCount::Many);
    if (!locations.empty()) dropAction_(locations);
}

}  // namespace tolva
