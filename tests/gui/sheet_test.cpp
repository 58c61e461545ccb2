#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QKeySequence>
#include <QTabWidget>
#include <QUrl>

#include "modal_helper.h"
#include "support/recording.h"
#include "support/temp_dir.h"
#include "gui/control_ids.h"
#include "gui/about_page.h"
#include "gui/property_sheet.h"
#include "gui/qt_person.h"
#include "gui/tolva_sheet.h"
#include "merge/merge_run.h"
#include "resources/strings.h"

namespace tolva {

// Receives the addresses the About page hands to the desktop instead of a browser.
class OpenedUrls : public QObject {
    Q_OBJECT
public slots:
    void Open(const QUrl& url) { urls.push_back(url); }

public:
    std::vector<QUrl> urls;
};

namespace {

using testing::RecordingPrompter;
using testing::TempDir;

class SheetTest : public ::testing::Test {
protected:
    TempDir dir;
    SettingsStore store{dir.File("registry.reg")};
    RecordingPrompter prompter;
};

TEST_F(SheetTest, OneCaptionedSheetWithFourTabsAndOkCancel) {
    TolvaSheet sheet(store, prompter);
    EXPECT_EQ(sheet.Sheet().windowTitle().toStdString(), LoadString(IDS_CAPTION));
    EXPECT_FALSE(sheet.Sheet().windowIcon().pixmap(32).isNull()) << "the icon's pictures are built in";
    QTabWidget* tabs = sheet.Sheet().Tabs();
    ASSERT_EQ(tabs->count(), 4);
    EXPECT_EQ(tabs->tabText(0).toStdString(), "Translate");
    EXPECT_EQ(tabs->tabText(1).toStdString(), "Verify");
    EXPECT_EQ(tabs->tabText(2).toStdString(), "Merge");
    EXPECT_EQ(tabs->tabText(3).toStdString(), "About");
    EXPECT_EQ(tabs->currentIndex(), 0);
    QDialogButtonBox* buttons = sheet.Sheet().Buttons();
    EXPECT_EQ(buttons->buttons().size(), 2);
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Ok) && buttons->button(QDialogButtonBox::Cancel));
}

// Each page gets the height its rows need at the sheet's width, wrapped texts included, so none
// is drawn over another when the sheet opens.
TEST_F(SheetTest, EveryPageHasTheHeightItsRowsNeed) {
    TolvaSheet sheet(store, prompter);
    sheet.Sheet().show();
    QApplication::processEvents();
    QTabWidget* tabs = sheet.Sheet().Tabs();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        QWidget* page = tabs->widget(i);
        EXPECT_GE(page->height(), page->layout()->totalMinimumHeightForWidth(page->width()))
            << tabs->tabText(i).toStdString();
    }
    sheet.Sheet().hide();
}

// Every labelled control of the Translate, Verify and Merge pages is reached by its own Alt key,
// and every option and format box explains itself when the pointer rests on it.
TEST_F(SheetTest, EveryLabelledControlHasItsOwnMnemonicAndEveryOptionATip) {
    TolvaSheet sheet(store, prompter);
    for (int tab : {0, 1, 2}) {
        QWidget* page = sheet.Sheet().Tabs()->widget(tab);
        SCOPED_TRACE(sheet.Sheet().Tabs()->tabText(tab).toStdString());
        QStringList keys = {"O", "C"};  // the sheet's own OK and Cancel
        auto take = [&](const QString& text) {
            const QString key = QKeySequence::mnemonic(text).toString().remove("Alt+");
            EXPECT_FALSE(key.isEmpty()) << text.toStdString();
            EXPECT_FALSE(keys.contains(key)) << text.toStdString() << " repeats " << key.toStdString();
            keys << key;
        };
        for (QLabel* label : page->findChildren<QLabel*>()) {
            if (label->buddy() != nullptr) take(label->text());
        }
        for (QAbstractButton* button : page->findChildren<QAbstractButton*>()) take(button->text());
        int tipped = 0;
        for (QWidget* option : page->findChildren<QWidget*>()) {
            if (!qobject_cast<QCheckBox*>(option) && !qobject_cast<QRadioButton*>(option) &&
                !qobject_cast<QSlider*>(option) &&
                !qobject_cast<QSpinBox*>(option) && !(qobject_cast<QComboBox*>(option) && !option->acceptDrops())) {
                continue;
            }
            EXPECT_FALSE(option->toolTip().isEmpty()) << option->objectName().toStdString();
            ++tipped;
        }
        EXPECT_GE(tipped, 3);
    }
}

TEST_F(SheetTest, AboutButtonsOpenTheInstalledPages) {
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "Open");
    CAbout about;
    for (int id : {control::kAboutHome, control::kAboutCommunications, control::kAboutDedication}) {
        about.findChild<QPushButton*>(QString::number(id))->click();
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    ASSERT_EQ(opened.urls.size(), 3u);
    const char* pages[] = {"home.html", "communications.html", "dedication.html"};
    for (std::size_t i = 0; i < 3; ++i) {
        const QFileInfo file(opened.urls[i].toLocalFile());
        EXPECT_EQ(file.fileName().toStdString(), pages[i]);
        EXPECT_EQ(file.absolutePath(), DocumentationFolder());
        // The desktop program sits in <build>/src, so its pages are in <build>/share/tolva/doc.
        EXPECT_TRUE(QFileInfo::exists(QStringLiteral(TOLVA_BUILD_ROOT "/share/tolva/doc/") + file.fileName()))
            << pages[i];
    }
    bool versionShown = false;
    for (QLabel* label : about.findChildren<QLabel*>()) {
        versionShown = versionShown || label->text() == "Tolva 2.0.01\nMarch 11, 1997";
    }
    EXPECT_TRUE(versionShown);
}

TEST_F(SheetTest, CountsAreGroupedAsTheLocaleGroupsDigits) {
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    {
        TolvaSheet sheet(store, prompter);
        EXPECT_EQ(FormatString(IDS_SUMMARY, {Count{50000}, Count{1234}}), "50.000 URLs tested; 1.234 did not work.");
        EXPECT_EQ(MergeCountsText({2, 4210, 212, 1903, 37}, DuplicatePlaces::Keep),
                  "2 sets merged: 4.210 links in 212 folders; 1.903 duplicates merged, 37 kept in other folders");
    }
    QLocale::setDefault(before);
}

// A location or server text in a message must never be taken as markup.
TEST(QtPrompterTest, MessagesArePlainTextAndQuestionsDefaultToNoButTheBackupQuestion) {
    const std::string location = "/tmp/<img src=\"file:///etc/passwd\">.htm";
    auto message = testing::ModalAnswerer::For<QMessageBox>([&](QMessageBox* box) {
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->text().toStdString(), "The URL set " + location + " could not be found.");
        EXPECT_EQ(box->windowTitle(), "Tolva");
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        box->button(QMessageBox::Ok)->click();
    });
    QtPrompter::Instance().ShowMessage("The URL set " + location + " could not be found.", "Tolva");

    auto question = testing::ModalAnswerer::For<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
    });
    EXPECT_FALSE(QtPrompter::Instance().AskYesNo("Replace <b>it</b>?", "Tolva"));

    // The backup question: Enter keeps a copy; Escape and the close box give nothing up.
    auto enter = testing::ModalAnswerer::For<QMessageBox>([](QMessageBox* box) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(box, &key);
    });
    EXPECT_EQ(QtPrompter::Instance().AskYesNoCancel("Back it up?", "Tolva"), Answer::Yes);
    auto escape = testing::ModalAnswerer::For<QMessageBox>([](QMessageBox* box) {
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &key);
    });
    EXPECT_EQ(QtPrompter::Instance().AskYesNoCancel("Back it up?", "Tolva"), Answer::Cancel);
    auto closeBox = testing::ModalAnswerer::For<QMessageBox>([](QMessageBox* box) { box->close(); });
    EXPECT_EQ(QtPrompter::Instance().AskYesNoCancel("Back it up?", "Tolva"), Answer::Cancel);

    // Regression: Enter held on one box answered the next one unseen, then reached the window.
    auto held = testing::ModalAnswerer::For<QMessageBox>([](QMessageBox* box) {
        QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(box, &repeat);
        EXPECT_TRUE(box->isVisible());
        // A repeat Qt did not mark: a release and a press at the same time.
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Return, Qt::NoModifier);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        release.setTimestamp(1000);
        press.setTimestamp(1000);
        QApplication::sendEvent(box, &release);
        QApplication::sendEvent(box, &press);
        EXPECT_TRUE(box->isVisible());
        QKeyEvent key(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(box, &key);
    });
    EXPECT_EQ(QtPrompter::Instance().AskYesNoCancel("Back it up?", "Tolva"), Answer::Cancel);

    auto warning = testing::ModalAnswerer::For<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        box->button(QMessageBox::Ok)->click();
    });
    ShowWarning(QtPrompter::Instance(), "Please enter no more than 255 characters.", "tolva");
}

}  // namespace
}  // namespace tolva

#include "sheet_test.moc"
