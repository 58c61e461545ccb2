#include "gui/qt_location_box.h"

#include <QDir>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "gui/location_drop.h"
#include "gui/qt_person.h"

namespace tolva {

std::string ExpandHomeIn(const std::string& location) {
    if (location != "~" && location.rfind("~/", 0) != 0) return location;
    return FromQString(QDir::homePath()) + location.substr(1);
}

LocationCombo::LocationCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // The list changes only through the recent-location store, never by pressing Enter.
    setInsertPolicy(QComboBox::NoInsert);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(24);
    // Drops are taken by the box as a whole: the line edit would paste a file's URL as text.
    lineEdit()->setAcceptDrops(false);
    setAcceptDrops(true);
    // The box cuts a long path: its tip shows the whole of it.
    connect(this, &QComboBox::editTextChanged, this, [this](const QString& text) { setToolTip(text); });
    connect(lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (typedAction_) typedAction_();
    });
    connect(this, &QComboBox::activated, this, [this] {
        if (typedAction_) typedAction_();
    });
}

void LocationCombo::ExpandHome() {
    const std::string text = Text();
    const std::string expanded = ExpandHomeIn(text);
    if (expanded != text) SetText(expanded);
}

std::vector<std::string> LocationCombo::Entries() const {
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(recentCount_));
    for (int i = 0; i < recentCount_ && i < count(); ++i) entries.push_back(FromQString(itemText(i)));
    return entries;
}

void LocationCombo::SetEntries(const std::vector<std::string>& entries) {
    const QString text = currentText();
    clear();
    for (const std::string& entry : entries) addItem(ToQString(entry));
    recentCount_ = count();
    for (const std::string& found : offered_) {
        if (std::find(entries.begin(), entries.end(), found) == entries.end()) addItem(ToQString(found));
    }
    setEditText(text);
}

void LocationCombo::SetOffered(const std::vector<std::string>& offered) {
    offered_ = offered;
    SetEntries(Entries());
}

std::string LocationCombo::Text() const { return FromQString(currentText()); }

void LocationCombo::SetText(const std::string& text) { setEditText(ToQString(text)); }

void LocationCombo::keyPressEvent(QKeyEvent* event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && enterAction_ && event->modifiers() == Qt::NoModifier) {
        event->accept();
        // The line edit never sees this Enter: what was typed is taken first.
        if (typedAction_) typedAction_();
        enterAction_();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void LocationCombo::dragEnterEvent(QDragEnterEvent* event) { AnswerLocationDrop(event, DropCount::One); }

void LocationCombo::dragMoveEvent(QDragMoveEvent* event) { AnswerLocationDrop(event, DropCount::One); }

void LocationCombo::dropEvent(QDropEvent* event) {
    const std::vector<std::string> locations = AnswerLocationDrop(event, DropCount::One);
    if (locations.empty()) return;
    if (dropAction_) {
        dropAction_(locations.front());
    } else {
        SetText(locations.front());
    }
}

}  // namespace tolva
