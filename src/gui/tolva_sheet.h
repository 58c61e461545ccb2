#pragma once
// The program as a whole: the sheet captioned "Tolva" and the version with the Translate, Verify,
// Merge and About pages, shown modally; the program ends when it closes.

#include <QIcon>
#include <memory>

#include "platform/person.h"
#include "platform/settings_store.h"

namespace tolva {

// The program's icon in all its sizes.
QIcon ProgramIcon();

class CAbout;
class CConvert;
class CMerge;
class CVerify;
class PropertySheet;

// Owns the sheet and its pages. Pages are built before the sheet is shown and destroyed after
// it closes, About first, then Merge, Verify, Translate, then the sheet.
class TolvaSheet {
public:
    TolvaSheet(SettingsStore& store, Prompter& prompter);
    ~TolvaSheet();
    TolvaSheet(const TolvaSheet&) = delete;
    TolvaSheet& operator=(const TolvaSheet&) = delete;

    // Shows the sheet modally; its result (OK, Close or Cancel) is of no further interest.
    int Exec();

    PropertySheet& Sheet() { return *sheet_; }
    CConvert& Convert() { return *convert_; }
    CVerify& Verify() { return *verify_; }
    CMerge& Merge() { return *merge_; }
    CAbout& About() { return *about_; }

private:
    std::unique_ptr<PropertySheet> sheet_;
    std::unique_ptr<CConvert> convert_;
    std::unique_ptr<CVerify> verify_;
    std::unique_ptr<CMerge> merge_;
    std::unique_ptr<CAbout> about_;
};

}  // namespace tolva
