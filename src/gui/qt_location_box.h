#pragma once
// A location box of the Translate and Verify pages: an editable drop-down whose list is the
// working copy of the page's recent locations for the chosen format.

#include <QComboBox>

#include "locations/recent_locations.h"

namespace tolva {

class LocationCombo final : public QComboBox, public LocationBox {
public:
    explicit LocationCombo(QWidget* parent = nullptr);

    std::vector<std::string> Entries() const override;
    void SetEntries(const std::vector<std::string>& entries) override;
    std::string Text() const override;
    void SetText(const std::string& text) override;
};

}  // namespace tolva
