#include "gui/convert_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "gui/about_page.h"
#include "gui/control_ids.h"
#include "gui/format_box.h"
#include "gui/property_sheet.h"
#include "gui/qt_location_box.h"
#include "gui/qt_person.h"
#include "gui/qt_pickers.h"
#include "locations/recent_locations.h"
#include "modal_helper.h"
#include "page_input.h"
#include "model/url_set.h"
#include "resources/strings.h"
#include "support/recording.h"
#include "support/temp_dir.h"

namespace tolva {
namespace {

using testing::Drop;
using testing::ModalAnswerer;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::TypeAndEnter;
using testing::WriteFile;
using Side = CConvert::Side;

constexpr char kHint[] = "No Favorites folder found.  Type a location here.";
constexpr char kSelectFormatFirst[] =
    "You have to select a file format before you can browse for the file.\nClick OK to close this box then choose a "
    "file format then click the Browse button again.";

class ConvertPageTest : public ::testing::Test {
protected:
    TempDir dir;
    SettingsStore store{dir.File("registry.reg")};
    RecordingPrompter prompter;
    CConvert page{store, prompter};

    ConvertPageTest() { page.places = {dir.File("home"), {}}; }

    template <typename Widget>
    Widget* Control(int id) {
        auto* widget = page.findChild<Widget*>(QString::number(id));
        EXPECT_NE(widget, nullptr) << "control " << id;
        return widget;
    }
    LocationCombo* Box(int id) { return Control<LocationCombo>(id); }
    void Click(int id) { Control<QPushButton>(id)->click(); }
    // A page in a shown sheet, with the keyboard's focus in the sheet, as a person meets it.
    void ShowInSheet(PropertySheet& sheet) {
        sheet.AddPage(&page, "Translate");
        sheet.show();
        sheet.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
    }
    void RemoveFromSheet(PropertySheet& sheet) {
        sheet.Tabs()->removeTab(0);
        page.setParent(nullptr);
    }
    std::string WriteSource(int links) {
        std::string text = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n";
        for (int i = 0; i < links; ++i) {
            text +=
                "    <DT><A HREF=\"http://example.com/" + std::to_string(i) + "\">Link " + std::to_string(i) + "</A>\n";
        }
        WriteFile(dir.File("source.htm"), text + "</DL><p>\n");
        return dir.File("source.htm");
    }
    void Choose(Side side, UrlSetFormat format, const std::string& location) {
        ShowFormatInBox(Control<QComboBox>(side == Side::Source ? control::kSourceFormat : control::kDestinationFormat),
                        format);
        Box(side == Side::Source ? control::kSourceLocation : control::kDestinationLocation)->SetText(location);
    }
    void Remember(UrlSetFormat format, const std::string& location) {
        MemoryLocationBox box;
        LoadRecentLocations(store, RecentPage::Translate, format, box);
        RememberLocation(store, RecentPage::Translate, format, box, location);
    }
};

TEST_F(ConvertPageTest, StartsEmptyWithTheFormatsInCodeOrder) {
    auto* format = Control<QComboBox>(control::kSourceFormat);
    ASSERT_EQ(format->count(), 8);
    EXPECT_EQ(format->itemText(0), "Mosaic (any flavor) bookmarks");
    EXPECT_EQ(format->itemText(1), "Netscape Navigator bookmarks");
    EXPECT_EQ(format->itemText(2), "Windows Internet shortcuts");
    EXPECT_EQ(format->itemText(3), "XBEL bookmarks");
    EXPECT_EQ(format->itemText(4), "Chromium bookmarks (written to a new file only)");
    EXPECT_EQ(format->itemText(5), "Firefox bookmarks (read only)");
    EXPECT_EQ(format->itemText(6), "Firefox bookmark backup (Restore replaces all of Firefox's bookmarks)");
    EXPECT_EQ(format->itemText(7), "Page of links, such as a read-it-later export (read only)");
    EXPECT_EQ(format->currentIndex(), -1);
    auto* destination = Control<QComboBox>(control::kDestinationFormat);
    ASSERT_EQ(destination->count(), 6) << "Firefox and pages of links are read only: not offered as destinations";
    EXPECT_EQ(destination->itemText(4), "Chromium bookmarks (written to a new file only)");
    EXPECT_EQ(destination->currentIndex(), -1);
    EXPECT_TRUE(Control<QCheckBox>(control::kFixAmpersands)->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(control::kPreserveName)->isEnabled());
    EXPECT_TRUE(Control<QCheckBox>(control::kPreserveName)->isChecked());
    EXPECT_TRUE(Control<QProgressBar>(control::kConvertProgressBar)->isHidden());
    EXPECT_TRUE(Control<QLabel>(control::kConvertProgressLabel)->isHidden());
}

TEST_F(ConvertPageTest, RestoreNamesIsRememberedAndReachesTheRun) {
    // A shortcut whose name was made from "PS/2".
    const std::string favorites = dir.File("Favorites");
    std::filesystem::create_directory(favorites);
    WriteFile(favorites + "/PS-2.url", "[InternetShortcut]\r\nURL=http://ps2/\r\n[Tolva]\r\nPreVfyName=PS/2\r\n");
    auto translate = [&](CConvert& on, const std::string& destination) {
        ShowFormatInBox(on.findChild<QComboBox*>(QString::number(control::kSourceFormat)), UrlSetFormat::Shortcuts);
        on.findChild<LocationCombo*>(QString::number(control::kSourceLocation))->SetText(favorites);
        ShowFormatInBox(on.findChild<QComboBox*>(QString::number(control::kDestinationFormat)), UrlSetFormat::Mosaic);
        on.findChild<LocationCombo*>(QString::number(control::kDestinationLocation))->SetText(destination);
        on.OnTranslate();
        return ReadFile(destination);
    };
    EXPECT_NE(translate(page, dir.File("restored.hot")).find("\r\nPS/2\r\n"), std::string::npos);

    Control<QCheckBox>(control::kPreserveName)->click();
    EXPECT_FALSE(page.restoreNames);
    SettingsStore reloaded{dir.File("registry.reg")};
    ASSERT_TRUE(reloaded.Load());
    CConvert later{reloaded, prompter};
    EXPECT_FALSE(later.findChild<QCheckBox*>(QString::number(control::kPreserveName))->isChecked());
    EXPECT_NE(translate(later, dir.File("as-files.hot")).find("\r\nPS-2\r\n"), std::string::npos);
}

TEST_F(ConvertPageTest, QuickButtonsWithoutStoredListsOfferTheDefaults) {
    Control<QCheckBox>(control::kFixAmpersands)->setChecked(false);
    Click(control::kNetscapeToExplorer);  // Netscape to Explorer
    EXPECT_EQ(page.sourceFormat, UrlSetFormat::Netscape);
    EXPECT_EQ(page.sourceLocation, "") << "no Netscape setting and no ~/.netscape file";
    EXPECT_EQ(page.destinationFormat, UrlSetFormat::Shortcuts);
    EXPECT_EQ(page.destinationLocation, kHint);
    EXPECT_EQ(Box(control::kDestinationLocation)->Text(), kHint);
    EXPECT_TRUE(page.fixAmpersands);
    EXPECT_TRUE(Control<QCheckBox>(control::kFixAmpersands)->isChecked());

    std::filesystem::create_directories(page.places.home + "/.netscape");
    WriteFile(page.places.home + "/.netscape/bookmarks.html", "");
    store.SetString("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                    "Favorites", "/home/ann/Favorites");
    Click(control::kExplorerToNetscape);  // Explorer to Netscape
    EXPECT_EQ(page.sourceFormat, UrlSetFormat::Shortcuts);
    EXPECT_EQ(page.sourceLocation, "/home/ann/Favorites");
    EXPECT_EQ(page.destinationFormat, UrlSetFormat::Netscape);
    EXPECT_EQ(page.destinationLocation, page.places.home + "/.netscape/bookmarks.html");
    EXPECT_EQ(Box(control::kSourceLocation)->Text(), "/home/ann/Favorites");
    EXPECT_TRUE(prompter.shown.empty());
}

// A browser's store is offered in the list of its format, after the recent locations, but is
// neither put in as the location nor stored as a recent one until it is used.
TEST_F(ConvertPageTest, BrowserStoresAreOfferedButNotTakenForRecentLocations) {
    const std::string bookmarks = page.places.home + "/.config/chromium/Default/Bookmarks";
    std::filesystem::create_directories(page.places.home + "/.config/chromium/Default");
    WriteFile(bookmarks, "{}");
    Remember(UrlSetFormat::Chromium, "/used/Bookmarks");
    Choose(Side::Source, UrlSetFormat::Chromium, "");
    page.OnFormatChanged(Side::Source);
    LocationCombo* box = Box(control::kSourceLocation);
    EXPECT_EQ(page.sourceLocation, "/used/Bookmarks");
    ASSERT_EQ(box->count(), 2);
    EXPECT_EQ(box->itemText(1).toStdString(), bookmarks);
    EXPECT_EQ(box->Entries(), std::vector<std::string>{"/used/Bookmarks"});

    RememberLocation(store, RecentPage::Translate, UrlSetFormat::Chromium, *box, "/other/Bookmarks");
    EXPECT_EQ(box->count(), 3) << "still offered";
    MemoryLocationBox stored;
    LoadRecentLocations(store, RecentPage::Translate, UrlSetFormat::Chromium, stored);
    EXPECT_EQ(stored.Entries(), (std::vector<std::string>{"/other/Bookmarks", "/used/Bookmarks"}));

    // Another format offers its own.
    Choose(Side::Source, UrlSetFormat::Firefox, "");
    page.OnFormatChanged(Side::Source);
    EXPECT_EQ(box->count(), 0);
    EXPECT_EQ(page.sourceLocation, "");
}

// The browsers keep their stores in hidden folders: the choosers show them in their side bar.
TEST_F(ConvertPageTest, ChoosersOfferTheFoldersOfFoundSets) {
    const std::string profile = dir.File("home/.mozilla/firefox/abc.default");
    const std::string favorites = dir.File("mnt/Users/Ann/Favorites");
    std::filesystem::create_directories(profile);
    std::filesystem::create_directories(favorites);
    QFileDialog files;
    ConfigureUrlSetFileDialog(files, UrlSetFormat::Firefox, ChooserPurpose::Translate, "", {profile + "/places.sqlite"});
    EXPECT_TRUE(files.sidebarUrls().contains(QUrl::fromLocalFile(QString::fromStdString(profile))));
    EXPECT_EQ(files.directory().absolutePath().toStdString(), profile);
    QFileDialog folders;
    ConfigureShortcutFolderDialog(folders, ChooserPurpose::Translate, {favorites});
    EXPECT_TRUE(folders.sidebarUrls().contains(QUrl::fromLocalFile(QString::fromStdString(favorites))));
}

TEST_F(ConvertPageTest, QuickButtonsPreferTheMostRecentStoredLocations) {
    Remember(UrlSetFormat::Netscape, "/old/bookmarks.htm");
    Remember(UrlSetFormat::Netscape, "/new/bookmarks.htm");
    Remember(UrlSetFormat::Shortcuts, "/links/Favorites");
    Click(control::kNetscapeToExplorer);
    EXPECT_EQ(page.sourceLocation, "/new/bookmarks.htm");
    EXPECT_EQ(Box(control::kSourceLocation)->Entries(),
              (std::vector<std::string>{"/new/bookmarks.htm", "/old/bookmarks.htm"}));
    EXPECT_EQ(page.destinationLocation, "/links/Favorites");

    // A stored but empty list also counts as stored: no default is put in.
    store.CreateKey("HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Convert\\RecentFavorites");
    store.SetString("HKEY_CURRENT_USER\\Software\\Hollin\\Tolva\\Convert\\RecentFavorites", "0", std::string(300, 'x'));
    Click(control::kNetscapeToExplorer);
    EXPECT_EQ(page.destinationLocation, "") << "the only entry is too long to load";
}

TEST_F(ConvertPageTest, BrowseWithoutAFormatExplainsAndEmptiesTheLocation) {
    Box(control::kSourceLocation)->SetText("/typed/by/hand.htm");
    Click(control::kBrowseSource);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, kSelectFormatFirst);
    EXPECT_EQ(prompter.shown[0].caption, LoadString(IDS_CAPTION));
    EXPECT_EQ(page.sourceLocation, "");
    EXPECT_EQ(Box(control::kSourceLocation)->Text(), "");
}

TEST_F(ConvertPageTest, BrowseCancelledKeepsTheLocationAndAcceptedAddsTheDefaultExtension) {
    auto* format = Control<QComboBox>(control::kDestinationFormat);
    ShowFormatInBox(format, UrlSetFormat::Netscape);
    Box(control::kDestinationLocation)->SetText(dir.File("before.htm"));
    {
        auto answer = ModalAnswerer::For<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
        Click(control::kBrowseDestination);
    }
    EXPECT_EQ(page.destinationLocation, dir.File("before.htm"));

    {
        auto answer = ModalAnswerer::For<QFileDialog>([this](QFileDialog* dialog) {
            EXPECT_EQ(dialog->directory().absolutePath().toStdString(), dir.Path().string());
            // Titled for what it chooses, saving a new file, the chosen format's type first.
            EXPECT_EQ(dialog->windowTitle().toStdString(), "Choose the destination");
            EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
            // The person sees the type as it was always named; Qt filters by the last parentheses.
            EXPECT_EQ(dialog->selectedNameFilter().toStdString(), "HyperText Markup Language (*.htm*)");
            EXPECT_EQ(dialog->nameFilters().last().toStdString(), "All files (*.*) (*)");
            dialog->selectFile(QString::fromStdString(dir.File("newset")));
            static_cast<QDialog*>(dialog)->accept();
        });
        Click(control::kBrowseDestination);
    }
    EXPECT_EQ(page.destinationLocation, dir.File("newset.htm"));
    EXPECT_EQ(Box(control::kDestinationLocation)->Text(), dir.File("newset.htm"));

    ShowFormatInBox(format, UrlSetFormat::Mosaic);
    {
        auto answer = ModalAnswerer::For<QFileDialog>([this](QFileDialog* dialog) {
            dialog->selectFile(QString::fromStdString(dir.File("links.txt")));
            static_cast<QDialog*>(dialog)->accept();
        });
        Click(control::kBrowseDestination);
    }
    EXPECT_EQ(page.destinationLocation, dir.File("links.txt")) << "a name with its own extension keeps it";
}

TEST_F(ConvertPageTest, BrowseForAShortcutFolderPicksFolders) {
    std::filesystem::create_directories(dir.Path() / "Favorites");
    ShowFormatInBox(Control<QComboBox>(control::kSourceFormat), UrlSetFormat::Shortcuts);
    {
        auto answer = ModalAnswerer::For<QFileDialog>([this](QFileDialog* dialog) {
            EXPECT_EQ(dialog->windowTitle().toStdString(), "Choose the set to translate");
            EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
            dialog->setDirectory(QString::fromStdString(dir.Path().string()));
            dialog->selectFile(QStringLiteral("Favorites"));
            static_cast<QDialog*>(dialog)->accept();
        });
        Click(control::kBrowseSource);
    }
    EXPECT_EQ(page.sourceLocation, dir.File("Favorites"));
    EXPECT_EQ(Box(control::kSourceLocation)->Text(), dir.File("Favorites"));

    // Regression: the chooser refused a folder not made yet ("Directory not found").
    {
        auto answer = ModalAnswerer::For<QFileDialog>([this](QFileDialog* dialog) {
            dialog->setDirectory(QString::fromStdString(dir.Path().string()));
            dialog->selectFile(QStringLiteral("New Favorites"));
            static_cast<QDialog*>(dialog)->accept();
        });
        Click(control::kBrowseSource);
    }
    EXPECT_EQ(page.sourceLocation, dir.File("New Favorites"));
    EXPECT_FALSE(std::filesystem::exists(dir.File("New Favorites"))) << "the translation asks before creating it";
}

TEST_F(ConvertPageTest, TranslateWritesTheDestinationAndTurnsOkIntoClose) {
    PropertySheet sheet("Tolva");
    sheet.AddPage(&page, "Translate");
    sheet.show();
    const std::string source = dir.File("source.htm");
    WriteFile(source,
              "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n"
              "    <DT><A HREF=\"http://example.com/\">Example</A>\n</DL><p>\n");
    ShowFormatInBox(Control<QComboBox>(control::kSourceFormat), UrlSetFormat::Netscape);
    Box(control::kSourceLocation)->SetText(source);
    ShowFormatInBox(Control<QComboBox>(control::kDestinationFormat), UrlSetFormat::Netscape);
    Box(control::kDestinationLocation)->SetText(dir.File("copy.htm"));
    Click(control::kTranslate);

    EXPECT_TRUE(std::filesystem::exists(dir.File("copy.htm")));
    EXPECT_NE(ReadFile(dir.File("copy.htm")).find("http://example.com/"), std::string::npos);
    EXPECT_EQ(Control<QLabel>(control::kConvertStatus)->text(),
              "URL set converted.\n1 links and 0 folders written; 0 names adapted.");
    EXPECT_EQ(sheet.Buttons()->button(QDialogButtonBox::Ok)->text(), "Close");
    EXPECT_FALSE(sheet.Buttons()->button(QDialogButtonBox::Cancel)->isEnabled());
    EXPECT_TRUE(Control<QProgressBar>(control::kConvertProgressBar)->isHidden());
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&sheet, &escape);
    EXPECT_TRUE(sheet.isVisible()) << "Escape answers like the disabled Cancel";
    sheet.close();
    EXPECT_FALSE(sheet.isVisible()) << "the close box still ends the program";
    // Each box keeps its own copy of the shared Netscape list; the destination's was stored last.
    EXPECT_EQ(Box(control::kSourceLocation)->Entries(), (std::vector<std::string>{source}));
    EXPECT_EQ(Box(control::kDestinationLocation)->Entries(), (std::vector<std::string>{dir.File("copy.htm")}));
    sheet.Tabs()->removeTab(0);
    page.setParent(nullptr);
}

// Regression: Enter pressed the sheet's default button (OK) wherever it was pressed, which
// closed the sheet and ended the program with the form unused.
TEST_F(ConvertPageTest, EnterRunsThePageOrFindsItsGapAndTabFollowsTheScreen) {
    PropertySheet sheet("Tolva");
    ShowInSheet(sheet);
    Choose(Side::Source, UrlSetFormat::Netscape, WriteSource(1));
    Choose(Side::Destination, UrlSetFormat::Netscape, "");
    // The name says XBEL: the format follows before the set is written.
    TypeAndEnter(Box(control::kDestinationLocation), dir.File("copy.xbel"));
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(sheet.result(), 0);
    EXPECT_EQ(FormatInBox(Control<QComboBox>(control::kDestinationFormat)), UrlSetFormat::Xbel);
    EXPECT_NE(ReadFile(dir.File("copy.xbel")).find("<xbel"), std::string::npos);

    // Enter on a check box with the source missing: the focus goes to the gap, nothing is said.
    Box(control::kSourceLocation)->SetText("");
    auto* fix = Control<QCheckBox>(control::kFixAmpersands);
    fix->setFocus();
    QTest::keyClick(fix, Qt::Key_Return);
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_TRUE(prompter.shown.empty());
    QWidget* focus = QApplication::focusWidget();
    EXPECT_TRUE(focus == Box(control::kSourceLocation) || focus == Box(control::kSourceLocation)->lineEdit());

    // Tab walks the page top to bottom, left to right.
    Control<QPushButton>(control::kNetscapeToExplorer)->setFocus();
    std::vector<int> walked;
    for (int i = 0; i < 11; ++i) {
        QWidget* at = QApplication::focusWidget();
        if (at != nullptr && qobject_cast<QLineEdit*>(at)) at = at->parentWidget();
        walked.push_back(at ? at->objectName().toInt() : -1);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(walked, (std::vector<int>{control::kNetscapeToExplorer, control::kExplorerToNetscape,
                                         control::kSourceFormat, control::kSourceLocation, control::kBrowseSource,
                                         control::kDestinationFormat, control::kDestinationLocation,
                                         control::kBrowseDestination, control::kFixAmpersands,
                                         control::kPreserveName, control::kTranslate}));
    RemoveFromSheet(sheet);
}

// Regression: the "Progress:" label was shown and hidden again without ever being painted, nor
// was the conversion's count, and a run's own status stayed
// from the run before when the next one stopped at its first check. While the run goes on, the
// sheet handles its events but a click on Translate must not start a second run inside it.
TEST_F(ConvertPageTest, RunPaintsItsProgressIgnoresASecondStartAndReplacesTheLastStatus) {
    PropertySheet sheet("Tolva");
    ShowInSheet(sheet);
    auto* progressLabel = Control<QLabel>(control::kConvertProgressLabel);
    auto* status = Control<QLabel>(control::kConvertStatus);
    struct PaintRecorder : QObject {
        int labelPaints = 0;
        QStringList painted;  // the progress texts, as painted
        QLabel* label = nullptr;
        bool eventFilter(QObject* watched, QEvent* event) override {
            auto* shown = static_cast<QLabel*>(watched);
            if (event->type() != QEvent::Paint || !shown->isVisible()) return false;
            if (shown == label) {
                ++labelPaints;
            } else {
                painted << shown->text();
            }
            return false;
        }
    } recorder;
    recorder.label = progressLabel;
    progressLabel->installEventFilter(&recorder);
    Control<QLabel>(control::kConvertProgressText)->installEventFilter(&recorder);
    Choose(Side::Source, UrlSetFormat::Netscape, WriteSource(3));
    Choose(Side::Destination, UrlSetFormat::Shortcuts, dir.File("Favorites"));
    prompter.ScriptAnswers({true, true});  // create the folder; a second run would use it
    // Fires at the run's first turn of the event loop, as a person's impatient click would.
    bool clickedDuringRun = false;
    QTimer::singleShot(0, &page, [&] {
        clickedDuringRun = BusyScope::Active();
        QTest::mouseClick(Control<QPushButton>(control::kTranslate), Qt::LeftButton);
    });
    Click(control::kTranslate);
    EXPECT_TRUE(std::filesystem::exists(dir.File("Favorites/Link 0.url")));
    EXPECT_TRUE(clickedDuringRun);
    EXPECT_EQ(prompter.shown.size(), 1u) << "one run, one question";
    EXPECT_GT(recorder.labelPaints, 0);
    EXPECT_FALSE(recorder.painted.filter(QRegularExpression("^Converting link \\d+ of 3$")).isEmpty())
        << recorder.painted.join('|').toStdString();
    EXPECT_TRUE(progressLabel->isHidden());
    ASSERT_TRUE(status->text().startsWith("URL set converted."));
    status->setSelection(0, 3);
    EXPECT_EQ(status->selectedText(), "URL") << "the status can be selected and copied";

    Choose(Side::Source, UrlSetFormat::Netscape, dir.File("missing.htm"));
    Click(control::kTranslate);
    EXPECT_EQ(status->text(), "");
    RemoveFromSheet(sheet);
}

TEST_F(ConvertPageTest, DroppedFileOrFolderFillsTheBoxAndPicksItsFormat) {
    std::filesystem::create_directories(dir.Path() / "Favorites");
    Remember(UrlSetFormat::Shortcuts, "/remembered/Favorites");
    Drop(Box(control::kSourceLocation), QUrl::fromLocalFile(QString::fromStdString(dir.File("Favorites"))), true);
    EXPECT_EQ(page.sourceFormat, UrlSetFormat::Shortcuts);
    EXPECT_EQ(FormatInBox(Control<QComboBox>(control::kSourceFormat)), UrlSetFormat::Shortcuts);
    EXPECT_EQ(page.sourceLocation, dir.File("Favorites"));
    EXPECT_EQ(Box(control::kSourceLocation)->Entries(), (std::vector<std::string>{"/remembered/Favorites"}))
        << "the format's list is loaded as when the format is chosen";

    Drop(Box(control::kDestinationLocation), QUrl::fromLocalFile(QString::fromStdString(dir.File("Old.HTML"))), true);
    EXPECT_EQ(page.destinationFormat, UrlSetFormat::Netscape);
    Drop(Box(control::kDestinationLocation), QUrl::fromLocalFile(QString::fromStdString(dir.File("list.txt"))), true);
    EXPECT_EQ(page.destinationFormat, UrlSetFormat::Netscape) << "a name that says no format keeps the chosen one";
    EXPECT_EQ(Box(control::kDestinationLocation)->Text(), dir.File("list.txt"));
    EXPECT_EQ(Box(control::kDestinationLocation)->toolTip().toStdString(), dir.File("list.txt"))
        << "the box may cut the path; its tip shows it whole";
    Drop(Box(control::kDestinationLocation), QUrl("http://example.com/bookmarks.html"), false);
    EXPECT_EQ(Box(control::kDestinationLocation)->Text(), dir.File("list.txt"));

    Drop(Box(control::kDestinationLocation), QUrl::fromLocalFile(QString::fromStdString(dir.File("kde.xbel"))), true);
    EXPECT_EQ(page.destinationFormat, UrlSetFormat::Xbel);
    EXPECT_EQ(Control<QComboBox>(control::kDestinationFormat)->currentText(), "XBEL bookmarks");
    Drop(Box(control::kDestinationLocation), QUrl::fromLocalFile(QString::fromStdString(dir.File("places.sqlite"))),
         true);
    EXPECT_EQ(page.destinationFormat, UrlSetFormat::Xbel) << "a format the box does not offer is not chosen";
    // A set to read that its name does not place is placed by its first bytes.
    WriteFile(dir.File("export.txt"), "<?xml version=\"1.0\"?>\n<xbel version=\"1.0\"></xbel>\n");
    Drop(Box(control::kSourceLocation), QUrl::fromLocalFile(QString::fromStdString(dir.File("export.txt"))), true);
    EXPECT_EQ(page.sourceFormat, UrlSetFormat::Xbel);
}

// Regression: a refused form used to let Translate go on with the location the person had
// typed before, so a set could be written somewhere the box did not show.
TEST_F(ConvertPageTest, OverLongLocationStopsTranslateAndKeepsTheTabShown) {
    CAbout about;
    PropertySheet sheet("Tolva");
    sheet.AddPage(&page, "Translate");
    sheet.AddPage(&about, "About");
    sheet.show();
    const std::string tooLong = dir.File(std::string(256, 'n'));
    const std::string source = dir.File("source.htm");
    WriteFile(source, "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n</DL><p>\n");
    page.sourceFormat = UrlSetFormat::Netscape;
    page.sourceLocation = source;
    page.destinationFormat = UrlSetFormat::Netscape;
    page.destinationLocation = dir.File("earlier.htm");
    page.WriteForm();
    Box(control::kDestinationLocation)->SetText(tooLong);

    Click(control::kTranslate);
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "Please enter no more than 255 characters.");
    EXPECT_FALSE(std::filesystem::exists(dir.File("earlier.htm")));
    EXPECT_TRUE(sheet.Buttons()->button(QDialogButtonBox::Cancel)->isEnabled());

    sheet.Tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 0) << "leaving the tab is refused";
    sheet.Buttons()->button(QDialogButtonBox::Ok)->click();
    EXPECT_TRUE(sheet.isVisible()) << "OK is refused too";
    EXPECT_EQ(prompter.shown.size(), 3u);

    Box(control::kDestinationLocation)->SetText(dir.File("short.htm"));
    sheet.Tabs()->setCurrentIndex(1);
    EXPECT_EQ(sheet.Tabs()->currentIndex(), 1);
    EXPECT_EQ(page.destinationLocation, dir.File("short.htm"));
    sheet.Tabs()->setCurrentIndex(0);
    EXPECT_EQ(Box(control::kDestinationLocation)->Text(), dir.File("short.htm"))
        << "the page keeps its values across tabs";
    for (int i = sheet.Tabs()->count() - 1; i >= 0; --i) sheet.Tabs()->removeTab(i);
    page.setParent(nullptr);
    about.setParent(nullptr);
}

}  // namespace
}  // namespace tolva
