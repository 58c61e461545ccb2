#pragma once
// The About tab: name, version and date, a notice, a description and three buttons that
// open the program's own pages (installed with it) in the person's web browser.

#include <QString>

#include "gui/property_sheet.h"

namespace tolva {

class CAbout final : public PropertyPage {
public:
    explicit CAbout(QWidget* parent = nullptr);

    // Opens one of the installed pages ("home.html", "communications.html", "dedication.html").
    void OnOpenWebPage(const QString& page);
};

// The folder holding the program's pages: <prefix>/share/tolva/doc beside the program's
// <prefix>/bin (the build tree has the same shape).
QString DocumentationFolder();

}  // namespace tolva
