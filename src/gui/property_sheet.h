#pragma once
// The program's one window: a modal tabbed dialog with OK and Cancel. Each page keeps its
// own values while other tabs are shown; leaving a tab reads its form, and a page that
// refuses its form keeps its tab shown (and the sheet open when OK was pressed).

#include <QDialog>
#include <vector>

class QDialogButtonBox;
class QTabWidget;

namespace tolva {

class PropertySheet;

class PropertyPage : public QWidget {
public:
    explicit PropertyPage(QWidget* parent = nullptr) : QWidget(parent) {}
    // Fields into the controls: when the page is first shown and whenever its tab returns.
    virtual void WriteForm() {}
    // Controls into the fields; false (after telling the person why) when the form is refused.
    virtual bool ReadForm() { return true; }
    // Enter pressed anywhere on the page but on a push button: the page's own command, or a
    // move to what the command still needs. Never the sheet's OK, which would end the program.
    virtual void OnEnter() {}

    void SetSheet(PropertySheet* sheet) { sheet_ = sheet; }
    // From now on OK reads "Close" and Cancel is disabled.
    void CancelToClose();

private:
    PropertySheet* sheet_ = nullptr;
};

class PropertySheet final : public QDialog {
public:
    explicit PropertySheet(const QString& caption, QWidget* parent = nullptr);

    // Adds a page as the next tab; the sheet does not take ownership.
    void AddPage(PropertyPage* page, const QString& tabCaption);
    void CancelToClose();

    QTabWidget* Tabs() const { return tabs_; }
    QDialogButtonBox* Buttons() const { return buttons_; }
    int CurrentPageIndex() const;

    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;
    // Escape answers like the Cancel button, so it does nothing once Cancel is disabled; the
    // close box still ends the program. Enter presses the push button that has the focus, and
    // anywhere else goes to the page shown: the sheet has no default button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnTabChanged(int index);
    // A page's minimum size leaves out the lines its wrapped texts take at the sheet's width, so
    // on a small screen the sheet could be made too short and rows drawn over one another. Each
    // page is held to the height it needs at that width.
    void FitPagesToWidth();

    QTabWidget* tabs_;
    QDialogButtonBox* buttons_;
    std::vector<PropertyPage*> pages_;
    int shownIndex_ = 0;
    bool formWritten_ = false;
};

}  // namespace tolva
