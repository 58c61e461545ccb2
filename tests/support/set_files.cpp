#include "support/set_files.h"

namespace tolva::testing {

int ReadSet(UrlSet& set, UrlSetFormat format, const std::string& location, TextControl* status) {
    if (!set.Open(UrlSetOpenMode::OpenExisting, format, location)) return -1;
    int result = set.Read(status);
    set.CloseFile();
    return result;
}

int WriteSet(UrlSet& set, UrlSetFormat format, const std::string& location) {
    if (format == UrlSetFormat::Shortcuts) {
        set.format = UrlSetFormat::Shortcuts;
        set.location = location;
        return set.Write();
    }
    if (!set.Open(UrlSetOpenMode::CreateNew, format, location)) return -1;
    int result = set.Write();
    set.CloseFile();
    return result;
}

}  // namespace tolva::testing
