#include "support/set_files.h"

namespace tolva::testing {

int ReadSet(SetStorage& storage, UrlSetFormat format, const std::string& location, TextControl* status) {
    if (!storage.Open(UrlSetOpenMode::OpenExisting, format, location)) return -1;
    int result = storage.Read(status);
    storage.CloseFile();
    return result;
}

int WriteSet(SetStorage& storage, UrlSetFormat format, const std::string& location) {
    if (format == UrlSetFormat::Shortcuts) {
        storage.Set().format = UrlSetFormat::Shortcuts;
        storage.Set().location = location;
        return storage.Write();
    }
    if (!storage.Open(UrlSetOpenMode::CreateNew, format, location)) return -1;
    int result = storage.Write();
    storage.CloseFile();
    return result;
}

int ReadSet(UrlSet& set, UrlSetFormat format, const std::string& location, TextControl* status) {
    SetStorage storage(set);
    return ReadSet(storage, format, location, status);
}

int WriteSet(UrlSet& set, UrlSetFormat format, const std::string& location) {
    SetStorage storage(set);
    return WriteSet(storage, format, location);
}

}  // namespace tolva::testing
