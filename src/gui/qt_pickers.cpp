#include "gui/qt_pickers.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>

#include "formats/format_table.h"
#include "gui/qt_person.h"
#include "model/url_set.h"
#include "platform/person.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// Adds the folders to the chooser's side bar, after the places it shows already.
void AddSidebarPlaces(QFileDialog& dialog, const std::vector<QString>& folders) {
    QList<QUrl> places = dialog.sidebarUrls();
    for (const QString& folder : folders) {
        const QUrl url = QUrl::fromLocalFile(folder);
        if (!places.contains(url)) places.append(url);
    }
    dialog.setSidebarUrls(places);
}

int ChooserTitle(ChooserPurpose purpose) {
    switch (purpose) {
        case ChooserPurpose::Destination:
            return IDS_UI_PICK_DESTINATION_TITLE;
        case ChooserPurpose::Verify:
            return IDS_UI_PICK_VERIFY_TITLE;
        case ChooserPurpose::Merge:
            return IDS_UI_PICK_MERGE_TITLE;
        case ChooserPurpose::Translate:
            break;
    }
    return IDS_UI_PICK_SOURCE_TITLE;
}

}  // namespace

void ConfigureUrlSetFileDialog(QFileDialog& dialog, UrlSetFormat format, ChooserPurpose purpose,
                               const std::string& currentLocation, const std::vector<std::string>& offered) {
    // Qt's own chooser behaves the same on every desktop and honours the hidden pattern
    // details below, so the types read exactly as the program has always named them.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setWindowTitle(UiText(ChooserTitle(purpose)));
    // A set to build is named, not opened: Save says so. Whether to replace a file there is the
    // translation's own question (with a backup), so the chooser does not ask it first.
    const bool building = purpose == ChooserPurpose::Destination;
    dialog.setAcceptMode(building ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, building);
    dialog.setFileMode(building ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const FormatTableRow* row = FormatRowOf(format);
    dialog.setDefaultSuffix(row ? ToQString(std::string(row->defaultExtension)) : QString());
    // The chosen format's filter first, then the program's own, the other formats' in the
    // table's order, and all files.
    QStringList filters;
    if (row != nullptr && row->filterText != 0) filters.append(UiText(row->filterText));
    filters.append(UiText(IDS_UI_FILTER_BOOKMARK_AND_HOTLIST));
    for (const FormatTableRow& other : FormatTable()) {
        if (other.filterText != 0 && !filters.contains(UiText(other.filterText)))
            filters.append(UiText(other.filterText));
    }
    filters.append(UiText(IDS_UI_FILTER_ALL));
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.front());
    if (!currentLocation.empty()) {
        // A full path opens the chooser in its folder with its name filled in.
        const QFileInfo current(ToQString(currentLocation));
        if (current.isAbsolute() && current.dir().exists()) dialog.setDirectory(current.dir());
        dialog.selectFile(current.fileName());
    }
    std::vector<QString> folders;
    folders.reserve(offered.size());
    for (const std::string& file : offered) folders.push_back(QFileInfo(ToQString(file)).absolutePath());
    AddSidebarPlaces(dialog, folders);
    // Only the folder: the same chooser names a destination, which must not be a store by default.
    if (currentLocation.empty() && !offered.empty()) dialog.setDirectory(folders.front());
}

void ConfigureShortcutFolderDialog(QFileDialog& dialog, ChooserPurpose purpose,
                                   const std::vector<std::string>& offered) {
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setWindowTitle(UiText(ChooserTitle(purpose)));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setDirectory(QDir::home());
    std::vector<QString> folders;
    folders.reserve(offered.size());
    for (const std::string& folder : offered) folders.push_back(ToQString(folder));
    AddSidebarPlaces(dialog, folders);
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

std::string BrowseForUrlSetFile(UrlSetFormat format, ChooserPurpose purpose, const std::string& currentLocation,
                                const std::vector<std::string>& offered) {
    QFileDialog dialog;
    ConfigureUrlSetFileDialog(dialog, format, purpose, currentLocation, offered);
    return RunChooser(dialog, currentLocation);
}

std::string BrowseForShortcutFolder(ChooserPurpose purpose, const std::string& currentLocation,
                                    const std::vector<std::string>& offered) {
    NewFolderDialog dialog;
    ConfigureShortcutFolderDialog(dialog, purpose, offered);
    return RunChooser(dialog, currentLocation);
}

std::string ChooseReportFile(const std::string& nearLocation, int titleId) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(UiText(titleId));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = {UiText(IDS_UI_FILTER_REPORT_JSON), UiText(IDS_UI_FILTER_REPORT_CSV)};
    const QStringList suffixes = {QStringLiteral("json"), QStringLiteral("csv")};
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(suffixes.front());
    // The report's kind follows the filter chosen, for a name typed without an extension.
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters, suffixes](const QString& f) {
        dialog.setDefaultSuffix(suffixes.value(static_cast<int>(filters.indexOf(f)), suffixes.front()));
    });
    const QFileInfo near(ToQString(nearLocation));
    if (near.isAbsolute() && near.dir().exists()) dialog.setDirectory(near.dir());
    return RunChooser(dialog, {});
}

std::string BrowseForLocation(UrlSetFormat format, ChooserPurpose purpose, const std::string& currentLocation,
                              Prompter& prompter, const StorePlaces& places) {
    const FormatTableRow* row = FormatRowOf(format);
    if (row == nullptr) {
        prompter.ShowMessage(LoadString(IDS_SELECT_FORMAT_FIRST), LoadString(IDS_CAPTION));
        return {};
    }
    const std::vector<std::string> offered = FindStoreLocations(format, places);
    if (row->codec.storage == FormatStorage::Folder) return BrowseForShortcutFolder(purpose, currentLocation, offered);
    // A browser names its own file ("Bookmarks", "places.sqlite"): its row adds no extension.
    return BrowseForUrlSetFile(format, purpose, currentLocation, offered);
}

}  // namespace tolva
