#pragma once
// A location box of the Translate, Verify and Merge pages: an editable drop-down whose list is the
// working copy of the page's recent locations for the chosen format. Enter in it starts the
// page's command, and a file or folder dropped onto it is handed to the page.

#include <QComboBox>
#include <functional>

#include "locations/recent_locations.h"

namespace tolva {

// location with a leading "~" or "~/" made a path in the home folder; any other text as it is.
std::string ExpandHomeIn(const std::string& location);

class LocationCombo final : public QComboBox, public LocationBox {
public:
    explicit LocationCombo(QWidget* parent = nullptr);

    std::vector<std::string> Entries() const override;
    void SetEntries(const std::vector<std::string>& entries) override;
    std::string Text() const override;
    void SetText(const std::string& text) override;

    // Sets found elsewhere (a browser's own store, say) that the list offers after the recent
    // locations. They are no recent locations: Entries leaves them out, so none is stored
    // until it has been used.
    void SetOffered(const std::vector<std::string>& offered);

    // Enter (the list closed) runs action instead of the sheet's default button, which would
    // close the sheet and lose the form.
    void SetEnterAction(std::function<void()> action) { enterAction_ = std::move(action); }
    // A dropped file or folder is handed to action as a local path; without one it fills the box.
    void SetDropAction(std::function<void(const std::string&)> action) { dropAction_ = std::move(action); }
    // Runs action when the person has typed a location (the box loses the focus, or Enter) or
    // chosen one from the list.
    void SetTypedAction(std::function<void()> action) { typedAction_ = std::move(action); }
    // Replaces a leading "~" or "~/" in the text by the home folder, as a shell would.
    void ExpandHome();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    std::function<void()> enterAction_;
    std::function<void(const std::string&)> dropAction_;
    std::function<void()> typedAction_;
    std::vector<std::string> offered_;
    int recentCount_ = 0;
};

}  // namespace tolva
