#include "gui/qt_pickers.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

#include "model/url_set.h"
#include "platform/person.h"
#include "resources/strings.h"
#include "gui/qt_person.h"

namespace tolva {

void ConfigureUrlSetFileDialog(QFileDialog& dialog, const std::string& currentLocation,
                               const std::string& defaultExtension) {
    // Qt's own chooser behaves the same on every desktop and honours the hidden pattern
    // details below, so the types read exactly as the program has always named them.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setWindowTitle(ToQString(LoadString(IDS_UI_PICK_OPEN)));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(ToQString(defaultExtension));
    const QStringList filters = {
        ToQString(LoadString(IDS_UI_FILTER_BOOKMARK_AND_HOTLIST)),
        ToQString(LoadString(IDS_UI_FILTER_HTML)),
        ToQString(LoadString(IDS_UI_FILTER_HOTLIST)),
        ToQString(LoadString(IDS_UI_FILTER_XBEL)),
        ToQString(LoadString(IDS_UI_FILTER_CHROMIUM)),
        ToQString(LoadString(IDS_UI_FILTER_FIREFOX)),
        ToQString(LoadString(IDS_UI_FILTER_ALL)),
    };
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    if (!currentLocation.empty()) {
        // A full path opens the chooser in its folder with its name filled in.
        const QFileInfo current(ToQString(currentLocation));
        if (current.isAbsolute() && current.dir().exists()) dialog.setDirectory(current.dir());
        dialog.selectFile(current.fileName());
    }
}

void ConfigureShortcutFolderDialog(QFileDialog& dialog) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setWindowTitle(ToQString(LoadString(IDS_UI_PICK_FOLDER_TITLE)));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(QDir::home());
}

namespace {

// Qt's folder chooser refuses a folder that does not exist yet, but a translation may name a
// new shortcut folder (and then asks whether to create it): a typed name inside a folder that
// exists is taken as it stands.
class NewFolderDialog final : public QFileDialog {
public:
    void accept() override {
        const QStringList typed = selectedFiles();
        if (typed.size() == 1) {
            const QFileInfo folder(typed.front());
            if (!folder.exists() && folder.dir().exists()) {
                newFolder_ = folder.absoluteFilePath();
                // QFileDialog::accept is the check that refuses it, so it is passed over on purpose.
                QDialog::accept();  // NOLINT(bugprone-parent-virtual-call)
                return;
            }
        }
        QFileDialog::accept();
    }
    QString NewFolder() const { return newFolder_; }

private:
    QString newFolder_;
};

std::string RunChooser(QFileDialog& dialog, const std::string& currentLocation) {
    if (dialog.exec() != QDialog::Accepted) return currentLocation;
    if (auto* folders = dynamic_cast<NewFolderDialog*>(&dialog); folders && !folders->NewFolder().isEmpty()) {
        return FromQString(QDir::toNativeSeparators(folders->NewFolder()));
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty()) return currentLocation;
    return FromQString(QDir::toNativeSeparators(chosen.front()));
}

}  // namespace

std::string BrowseForUrlSetFile(const std::string& currentLocation, const std::string& defaultExtension) {
    QFileDialog dialog;
    ConfigureUrlSetFileDialog(dialog, currentLocation, defaultExtension);
    return RunChooser(dialog, currentLocation);
}

std::string BrowseForShortcutFolder(const std::string& currentLocation) {
    NewFolderDialog dialog;
    ConfigureShortcutFolderDialog(dialog);
    return RunChooser(dialog, currentLocation);
}

std::string BrowseForLocation(UrlSetFormat format, const std::string& currentLocation, Prompter& prompter) {
    switch (format) {
        case UrlSetFormat::Mosaic:
            return BrowseForUrlSetFile(currentLocation, "hot");
        case UrlSetFormat::Netscape:
            return BrowseForUrlSetFile(currentLocation, "htm");
        case UrlSetFormat::Shortcuts:
            return BrowseForShortcutFolder(currentLocation);
        case UrlSetFormat::Xbel:
            return BrowseForUrlSetFile(currentLocation, "xbel");
        case UrlSetFormat::Chromium:
        case UrlSetFormat::Firefox:
            // Their files are named by the browsers ("Bookmarks", "places.sqlite"): no extension is added.
            return BrowseForUrlSetFile(currentLocation, "");
        default:
            prompter.ShowMessage(LoadString(IDS_SELECT_FORMAT_FIRST), LoadString(IDS_CAPTION));
            return {};
    }
}

}  // namespace tolva
