#include "support/set_files.h"

namespace tolva::testing {

int ReadSet(UrlSet& set, std::int32_t format, const std::string& location, TextControl* status) {
    if (!set.Open(OpenExisting, format, location)) return -1;
    int result = set.Read(status);
    set.CloseFile();
    return result;
}

int WriteSet(UrlSet& set, std::int32_t format, const std::string& location) {
    if (format == Shortcuts) {
        set.format = Shortcuts;
        set.location = location;
        return set.Write();
    }
    if (!set.Open(CreateNew, format, location)) return -1;
    int result = set.Write();
    set.CloseFile();
    return result;
}

}  // namespace tolva::testing
