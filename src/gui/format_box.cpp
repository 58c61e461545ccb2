#include "gui/format_box.h"

#include <QComboBox>

#include "gui/qt_person.h"
#include "resources/strings.h"

namespace tolva {

void FillFormatBox(QComboBox* box, FormatAbility offered) {
    box->clear();
    for (const FormatTableRow& row : FormatTable()) {
        if (FormatCan(row.format, offered)) box->addItem(UiText(row.boxText), static_cast<int>(row.format));
    }
    box->setCurrentIndex(-1);
}

UrlSetFormat FormatInBox(const QComboBox* box) {
    const int index = box->currentIndex();
    if (index < 0) return UrlSetFormat::None;
    return static_cast<UrlSetFormat>(box->itemData(index).toInt());
}

void ShowFormatInBox(QComboBox* box, UrlSetFormat format) {
    box->setCurrentIndex(format == UrlSetFormat::None ? -1 : box->findData(static_cast<int>(format)));
}

bool BoxOffers(const QComboBox* box, UrlSetFormat format) {
    return format != UrlSetFormat::None && box->findData(static_cast<int>(format)) >= 0;
}

bool FollowFormat(QComboBox* box, UrlSetFormat format) {
    if (!BoxOffers(box, format) || format == FormatInBox(box)) return false;
    ShowFormatInBox(box, format);
    return true;
}

}  // namespace tolva
