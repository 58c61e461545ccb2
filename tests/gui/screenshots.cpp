// Takes one picture of each tab of the sheet and of each dialog, for a person to look at:
//   tolva_gui_screenshots <folder>
// Runs on the offscreen platform unless another is asked for; nothing is shown.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <iterator>

#include "platform/person.h"
#include "platform/settings_store.h"
#include "gui/convert_page.h"
#include "gui/property_sheet.h"
#include "gui/tolva_sheet.h"
#include "gui/cookie_warning_dialog.h"
#include "gui/url_repair_dialog.h"
#include "gui/verify_progress_dialog.h"
#include "gui/verify_results_dialog.h"

namespace {

bool Save(QWidget& widget, const QDir& folder, const char* name) {
    widget.adjustSize();
    const QString path = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
}

// Grabs the modal dialog that DoModal is about to show, then closes it.
void GrabWhenShown(QDialog& dialog, const QDir& folder, const char* name, bool& ok) {
    QTimer::singleShot(0, &dialog, [&dialog, &folder, name, &ok] {
        ok = Save(dialog, folder, name) && ok;
        dialog.reject();
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(QStringLiteral("."));
    QTemporaryDir settings;
    tolva::SettingsStore store(settings.filePath(QStringLiteral("registry.reg")).toStdString());
    tolva::SilentPrompter& prompter = tolva::SilentPrompter::Instance();

    bool ok = true;
    tolva::TolvaSheet sheet(store, prompter);
    sheet.Sheet().show();
    const char* tabs[] = {"tab_translate", "tab_verify", "tab_merge", "tab_about"};
    for (int i = 0; i < sheet.Sheet().Tabs()->count() && i < static_cast<int>(std::size(tabs)); ++i) {
        sheet.Sheet().Tabs()->setCurrentIndex(i);
        ok = Save(sheet.Sheet(), folder, tabs[i]) && ok;
    }
    sheet.Sheet().Tabs()->setCurrentIndex(0);
    sheet.Convert().OnNetscapeToExplorer();
    ok = Save(sheet.Sheet(), folder, "tab_translate_quick_button") && ok;
    sheet.Sheet().hide();

    tolva::CVerifyProgress progress;
    progress.SetTestingLine("Testing link 7 of 42.");
    progress.SetProgressRange(0, 42);
    progress.SetProgressPos(7);
    progress.SetCurrentName("Weather <b>today</b>");
    progress.SetCurrentUrl("http://weather.example.com/forecast/today/region/north-west/with/a/rather/long/path.html");
    progress.SetCurrentStatus("Request sent; waiting for response");
    progress.SetLastError("Old project page", "http://projects.example.org/old/", "Page not found");
    progress.show();
    ok = Save(progress, folder, "dialog_verification_progress") && ok;
    progress.hide();

    tolva::CVerifyResults results(prompter);
    tolva::VerifyResults shown;
    shown.summary.text = "Verification complete.  42 URLs tested; 2 did not work.  1 skipped (not http, https or "
                         "ftp).\nUpdated URL set saved.";
    auto link = [](const char* path, const char* name, const char* url, const char* action, const char* error,
                   const char* finalUrl) {
        tolva::LinkRecord record;
        record.folder = path;
        record.name = name;
        record.url = url;
        record.action = action;
        record.errorText = error;
        record.finalUrl = finalUrl;
        return record;
    };
    shown.records = {
        link("\\Work", "Old project page", "http://projects.example.org/old/", "moved", "Page not found",
             "http://projects.example.org/old/"),
        link("\\Work\\Tools", "Build server", "http://build.example.net:8080/", "moved", "Connection refused", ""),
        link("\\News", "Weather today", "http://weather.example.com/today", "restored", "",
             "https://weather.example.com/today/"),
        link("", "Write to Ann", "mailto:ann@example.com", "skipped", "not tested: not an http, https or ftp link", ""),
        link("", "Search", "https://search.example.com/", "kept", "", "https://search.example.com/")};
    results.SetResults(shown);
    results.show();
    ok = Save(results, folder, "dialog_verification_results") && ok;
    results.hide();

    tolva::CUrlRepair repair;
    tolva::UrlRepairFields fields{"Not Found", "Old project page", "http://projects.example.org/old/",
                                  "http://projects.example.org/old/", ""};
    GrabWhenShown(repair, folder, "dialog_url_repair", ok);
    repair.DoModal(fields);

    tolva::CCookieWarning cookies;
    int choice = 1;
    GrabWhenShown(cookies, folder, "dialog_cookie_warning", ok);
    cookies.DoModal(choice);
    return ok ? 0 : 1;
}
