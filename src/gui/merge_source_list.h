#pragma once
// The Merge page's list of the sets to merge: one row per set, its location and the format it
// is read in, in the order the merge takes them. Files and folders dropped on it, and the
// Delete key, are handed to the page; the list only holds the rows.

#include <QTreeWidget>
#include <functional>
#include <string>
#include <vector>

#include "merge/merge_run.h"

namespace tolva {

class MergeSourceList final : public QTreeWidget {
public:
    explicit MergeSourceList(QWidget* parent = nullptr);

    // Appends source as the last row and selects it.
    void AddSource(const MergeSource& source);
    std::vector<MergeSource> Sources() const;
    // The selected row's format; None when no row is selected.
    UrlSetFormat SelectedFormat() const;
    void SetSelectedFormat(UrlSetFormat format);
    // Takes the selected row out, selecting the one that follows it (or the new last one).
    void RemoveSelected();

    void SetDropAction(std::function<void(const std::vector<std::string>&)> action) { dropAction_ = std::move(action); }
    void SetRemoveAction(std::function<void()> action) { removeAction_ = std::move(action); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    static void ShowFormat(QTreeWidgetItem* row, UrlSetFormat format);

    std::function<void(const std::vector<std::string>&)> dropAction_;
    std::function<void()> removeAction_;
};

}  // namespace tolva
