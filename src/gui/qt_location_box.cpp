#include "gui/qt_location_box.h"

#include <QLineEdit>

#include "gui/qt_person.h"

namespace tolva {

LocationCombo::LocationCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    // The list changes only through the recent-location store, never by pressing Enter.
    setInsertPolicy(QComboBox::NoInsert);
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(24);
}

std::vector<std::string> LocationCombo::Entries() const {
    std::vector<std::string> entries;
    entries.reserve(static_cast<std::size_t>(count()));
    for (int i = 0; i < count(); ++i) entries.push_back(FromQString(itemText(i)));
    return entries;
}

void LocationCombo::SetEntries(const std::vector<std::string>& entries) {
    const QString text = currentText();
    clear();
    for (const std::string& entry : entries) addItem(ToQString(entry));
    setEditText(text);
}

std::string LocationCombo::Text() const { return FromQString(currentText()); }

void LocationCombo::SetText(const std::string& text) { setEditText(ToQString(text)); }

}  // namespace tolva
