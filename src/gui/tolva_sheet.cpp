#include "gui/tolva_sheet.h"

#include <QIcon>
#include <QLocale>
#include <QTabWidget>

#include "resources/strings.h"
#include "gui/about_page.h"
#include "gui/convert_page.h"
#include "gui/merge_page.h"
#include "gui/property_sheet.h"
#include "gui/qt_person.h"
#include "gui/verify_page.h"

namespace tolva {

QIcon ProgramIcon() {
    LoadPictures();
    QIcon icon;
    for (int size : {16, 32, 48, 64}) icon.addFile(QStringLiteral(":/tolva/tolva-%1.png").arg(size), QSize(size, size));
    return icon;
}

TolvaSheet::TolvaSheet(SettingsStore& store, Prompter& prompter)
    : sheet_(std::make_unique<PropertySheet>(ToQString(LoadString(IDS_CAPTION)))),
      convert_(std::make_unique<CConvert>(store, prompter)),
      verify_(std::make_unique<CVerify>(store, prompter)),
      merge_(std::make_unique<CMerge>(store, prompter)),
      about_(std::make_unique<CAbout>()) {
    sheet_->AddPage(convert_.get(), ToQString(LoadString(IDS_UI_TAB_TRANSLATE)));
    sheet_->AddPage(verify_.get(), ToQString(LoadString(IDS_UI_TAB_VERIFY)));
    sheet_->AddPage(merge_.get(), ToQString(LoadString(IDS_UI_TAB_MERGE)));
    sheet_->AddPage(about_.get(), ToQString(LoadString(IDS_UI_TAB_ABOUT)));
    sheet_->setWindowIcon(ProgramIcon());
    IgnoreHeldKeys();
    // Counts in the status lines and the progress window are grouped as the person's locale does.
    SetCountWriter([](long value) { return FromQString(QLocale().toString(static_cast<qlonglong>(value))); });
}

TolvaSheet::~TolvaSheet() {
    // The tab widget must not delete the pages it holds: take them out first, in reverse order.
    for (int i = sheet_->Tabs()->count() - 1; i >= 0; --i) sheet_->Tabs()->removeTab(i);
    about_->setParent(nullptr);
    merge_->setParent(nullptr);
    verify_->setParent(nullptr);
    convert_->setParent(nullptr);
    about_.reset();
    merge_.reset();
    verify_.reset();
    convert_.reset();
    sheet_.reset();
}

int TolvaSheet::Exec() { return sheet_->exec(); }

}  // namespace tolva
