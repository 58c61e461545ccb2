#include "gui/location_drop.h"

#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "gui/qt_person.h"

namespace tolva {

std::vector<std::string> DroppedLocations(const QMimeData* data) {
    std::vector<std::string> locations;
    if (data == nullptr || !data->hasUrls()) return locations;
    for (const QUrl& url : data->urls()) {
        if (url.isLocalFile())
            locations.push_back(FromQString(QDir::toNativeSeparators(QDir::cleanPath(url.toLocalFile()))));
    }
    return locations;
}

std::vector<std::string> AnswerLocationDrop(QDropEvent* event, DropCount count) {
    const QMimeData* data = event->mimeData();
    std::vector<std::string> locations;
    if (count == DropCount::Many || (data != nullptr && data->hasUrls() && data->urls().size() == 1))
        locations = DroppedLocations(data);
    if (locations.empty()) {
        event->ignore();
    } else {
        event->acceptProposedAction();
    }
    return locations;
}

}  // namespace tolva
