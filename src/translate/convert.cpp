#include "model/url_set.h"

namespace tolva {

void UrlSet::ConvertTo(bool fixAmpersands, std::int32_t destinationFormat, const std::string& destinationLocation,
                       ProgressBar* progressBar, TextControl* progressText) {
    (void)fixAmpersands;
    (void)progressBar;
    (void)progressText;
    location = destinationLocation;
    format = destinationFormat;
}

}  // namespace tolva
