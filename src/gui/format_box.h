#pragma once
// The pages' format boxes: the format table's rows that can be used as the box's page uses a
// set (read, written, verified in place), each entry holding its format's number, so a box
// that leaves formats out still names the stored locations of the right one.

#include "formats/format_table.h"
#include "model/set_kinds.h"

class QComboBox;

namespace tolva {

// Fills box with the texts of the formats that can do offered, in the table's order, none
// chosen.
void FillFormatBox(QComboBox* box, FormatAbility offered);
// The format chosen in box; None when none is.
UrlSetFormat FormatInBox(const QComboBox* box);
// Chooses format in box; a format the box does not offer leaves none chosen.
void ShowFormatInBox(QComboBox* box, UrlSetFormat format);
// Whether box offers format.
bool BoxOffers(const QComboBox* box, UrlSetFormat format);
// Chooses format, guessed from a location just taken, when box offers it and shows another.
// Returns whether the choice changed, after which the page loads that format's locations.
bool FollowFormat(QComboBox* box, UrlSetFormat format);

}  // namespace tolva
