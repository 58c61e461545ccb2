#pragma once
// What the location boxes and the Merge page's list take from a drag: local files and folders,
// never web addresses. One answer serves entering, moving and dropping, so that the cursor
// promises a drop exactly when the drop will be taken.

#include <string>
#include <vector>

class QDropEvent;
class QMimeData;

namespace tolva {

// The local files and folders a drag carries, as native paths; web addresses are left out.
std::vector<std::string> DroppedLocations(const QMimeData* data);

// How many locations a drop target takes at once.
enum class DropCount { One, Many };

// Accepts event (a drag entering, moving over or dropped on the target) when it carries local
// locations the target takes, and gives them; ignores it and gives none otherwise. A target
// that takes one refuses a drag of several rather than picking one of them.
std::vector<std::string> AnswerLocationDrop(QDropEvent* event, DropCount count);

}  // namespace tolva
