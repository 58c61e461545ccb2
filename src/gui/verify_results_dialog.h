#pragma once
// "Verification results": the window that says what a verification did with the links it
// changed, skipped or could not test. The summary stands at the top; below it a table of those
// links (folder, name, URL, outcome, error or reason, final URL, archived copy) that sorts by any column,
// shows one outcome or all, and finds text in any column. A double-click opens a link in the
// web browser, and "Save report..." writes the same report as tolva-cli's --report. The
// window keeps its own copy of what it shows; a page keeps one window and hands it each run.

#include <QDialog>
#include <string>
#include <vector>

#include "platform/person.h"
#include "verify/run_report.h"
#include "verify/verify_settings.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QStandardItemModel;
class QTableView;

namespace tolva {

class LinkFilter;

// What one run leaves for the window: its settings, summary and per-link records.
struct VerifyResults {
    VerifySettings settings;
    ReportSummary summary;
    std::vector<LinkRecord> records;
};

class CVerifyResults final : public QDialog {
public:
    // prompter tells the person when a report cannot be written.
    explicit CVerifyResults(Prompter& prompter, QWidget* parent = nullptr);

    // Shows results in place of the run before.
    void SetResults(VerifyResults results);
    // The links listed, in the table's order as filtered and sorted now.
    int ShownCount() const;
    // Opens the link of the shown row in the web browser; with archivedCopy, its archived copy
    // when it has one.
    void OpenRow(int row, bool archivedCopy = false);
    // Writes the report to path: JSON for a name ending in ".json", CSV otherwise. False after
    // telling the person why when it cannot be written.
    bool SaveReport(const std::string& path);
    // The "Save report..." button: a chooser, then SaveReport.
    void OnSaveReport();

    QTableView* Table() const { return table_; }
    QComboBox* OutcomeBox() const { return outcomeBox_; }
    QLineEdit* FindBox() const { return findBox_; }

private:
    Prompter& prompter_;
    VerifyResults results_;
    QLabel* summary_;
    QLabel* nothing_;
    QComboBox* outcomeBox_;
    QLineEdit* findBox_;
    QTableView* table_;
    QStandardItemModel* model_;
    LinkFilter* filter_;
};

}  // namespace tolva
