// Takes one picture of each tab of the sheet and of each dialog, for a person to look at:
//   tolva_gui_screenshots <folder>
// Runs on the offscreen platform unless another is asked for; nothing is shown.
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "platform/person.h"
#include "platform/settings_store.h"
#include "ui/property_sheet.h"
#include "ui/tolva_sheet.h"

namespace {

bool Save(QWidget& widget, const QDir& folder, const char* name) {
    widget.adjustSize();
    const QString path = folder.filePath(QString::fromLatin1(name) + QStringLiteral(".png"));
    const bool saved = widget.grab().save(path);
    std::printf("%s %s\n", saved ? "wrote" : "FAILED", qPrintable(path));
    return saved;
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
    const char* tabs[] = {"tab_translate", "tab_verify", "tab_about"};
    for (int i = 0; i < sheet.Sheet().Tabs()->count(); ++i) {
        sheet.Sheet().Tabs()->setCurrentIndex(i);
        ok = Save(sheet.Sheet(), folder, tabs[i]) && ok;
    }
    return ok ? 0 : 1;
}
