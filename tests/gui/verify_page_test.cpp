#include "gui/verify_page.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QDesktopServices>
#include <filesystem>
#include <QFileDialog>
#include <QLineEdit>
#include <QTableView>
#include <QUrl>

#include "gui/control_ids.h"
#include "gui/cookie_warning_dialog.h"
#include "gui/format_box.h"
#include "gui/property_sheet.h"
#include "gui/qt_location_box.h"
#include "gui/url_repair_dialog.h"
#include "gui/verify_progress_dialog.h"
#include "gui/verify_results_dialog.h"
#include "modal_helper.h"
#include "support/loopback_server.h"
#include "support/recording.h"
#include "support/temp_dir.h"
#include "resources/strings.h"
#include "verify/cookie_policy.h"

namespace tolva {
namespace {

using testing::LoopbackServer;
using testing::ModalAnswerer;
using testing::ReadFile;
using testing::RecordingPrompter;
using testing::TempDir;
using testing::WriteFile;

template <typename Widget>
Widget* Control(QWidget* parent, int id) {
    auto* widget = parent->findChild<Widget*>(QString::number(id));
    EXPECT_NE(widget, nullptr) << "control " << id;
    return widget;
}

class VerifyPageTest : public ::testing::Test {
protected:
    TempDir dir;
    SettingsStore store{dir.File("registry.reg")};
    RecordingPrompter prompter;
    CVerify page{store, prompter};
    LoopbackServer server;
    std::string path = dir.File("bookmarks.htm");

    void SetUp() override {
        ASSERT_TRUE(server.Running());
        page.requestOptions.noProxy = "*";
        SetCookies(true);
    }
    void SetCookies(bool accepted) {
        store.CreateKey(CookiePolicy::Key());
        store.SetBinary(CookiePolicy::Key(), CookiePolicy::ValueName(),
                        {static_cast<unsigned char>(accepted ? 1 : 0), 0, 0, 0});
    }
    void WriteSet(const std::vector<std::pair<std::string, std::string>>& links) {
        std::string text = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n";
        for (const auto& [name, urlPath] : links) {
            text += "    <DT><A HREF=\"" + server.Url(urlPath) + "\">" + name + "</A>\n";
        }
        text += "</DL><p>\n";
        WriteFile(path, text);
    }
    void ChooseSet() {
        ShowFormatInBox(Control<QComboBox>(&page, control::kVerifyFormat), UrlSetFormat::Netscape);
        Control<LocationCombo>(&page, control::kVerifyLocation)->SetText(path);
    }
    std::string Status() { return Control<QLabel>(&page, control::kVerifyStatus)->text().toStdString(); }
    void ClickVerify() { Control<QPushButton>(&page, control::kVerify)->click(); }
};

TEST_F(VerifyPageTest, SliderLabelsFollowTheSlidersWithoutSingularForms) {
    auto* timeout = Control<QSlider>(&page, control::kTimeoutSlider);
    auto* retries = Control<QSlider>(&page, control::kRetriesSlider);
    auto* timeoutLabel = Control<QLabel>(&page, control::kTimeoutLabel);
    auto* retriesLabel = Control<QLabel>(&page, control::kRetriesLabel);
    EXPECT_EQ(timeoutLabel->text(), "60 seconds");
    EXPECT_EQ(retriesLabel->text(), "5 times");
    // The help text names the limit of a whole request.
    EXPECT_TRUE(timeout->toolTip().contains("here 180 seconds")) << timeout->toolTip().toStdString();
    EXPECT_EQ(timeout->maximum(), 120);
    EXPECT_EQ(timeout->tickInterval(), 20);
    EXPECT_EQ(retries->maximum(), 10);
    const struct {
        int seconds, times;
        const char* secondsText;
        const char* timesText;
    } rows[] = {{0, 0, "0 seconds", "0 times"}, {1, 1, "1 seconds", "1 times"}, {120, 10, "120 seconds", "10 times"}};
    for (const auto& row : rows) {
        timeout->setValue(row.seconds);
        retries->triggerAction(QAbstractSlider::SliderToMinimum);
        for (int i = 0; i < row.times; ++i) retries->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        EXPECT_EQ(timeoutLabel->text(), row.secondsText);
        EXPECT_EQ(retriesLabel->text(), row.timesText);
    }
    timeout->setValue(500);
    EXPECT_EQ(timeoutLabel->text(), "120 seconds");
}

TEST_F(VerifyPageTest, BrowseWithoutAFormatExplainsAndEmptiesTheLocation) {
    Control<LocationCombo>(&page, control::kVerifyLocation)->SetText("/some/set.htm");
    Control<QPushButton>(&page, control::kBrowseVerifyLocation)->click();
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].caption, LoadString(IDS_CAPTION));
    EXPECT_EQ(page.settings.location, "");
}

// Verifying saves the set where it was read: the browsers' stores, which cannot be written
// back, are not offered, and a dropped store does not choose one.
TEST_F(VerifyPageTest, OffersOnlyFormatsVerifiedInPlace) {
    auto* format = Control<QComboBox>(&page, control::kVerifyFormat);
    ASSERT_EQ(format->count(), 5);
    EXPECT_EQ(format->itemText(3), "XBEL bookmarks");
    EXPECT_EQ(format->itemText(4), "Firefox bookmark backup (Restore replaces all of Firefox's bookmarks)");
    page.OnDrop(dir.File("bookmarks.xbel"));
    EXPECT_EQ(page.settings.format, UrlSetFormat::Xbel);
    page.OnDrop(dir.File("places.sqlite"));
    EXPECT_EQ(page.settings.format, UrlSetFormat::Xbel);
    EXPECT_EQ(page.settings.location, dir.File("places.sqlite"));
}

TEST_F(VerifyPageTest, VerificationMovesTheDeadLinkAndRemembersTheSet) {
    WriteSet({{"Alive", "/status/200"}, {"Gone", "/status/404"}});
    ChooseSet();
    auto progress = ModalAnswerer::For<CVerifyProgress>(
        [](CVerifyProgress* dialog) { EXPECT_EQ(dialog->windowTitle(), "Verification progress"); });
    ClickVerify();
    EXPECT_TRUE(progress->Done());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr) << "the progress window closed itself";
    EXPECT_EQ(Status(), "Verification complete.  2 URLs tested; 1 did not work.\nUpdated URL set saved.");
    const std::string saved = ReadFile(path);
    EXPECT_NE(saved.find("Unverified"), std::string::npos);
    EXPECT_LT(saved.find("Unverified"), saved.find("Gone"));
    EXPECT_EQ(Control<LocationCombo>(&page, control::kVerifyLocation)->Entries(), std::vector<std::string>{path});
}

// Regression: a changed set was saved after the progress window had closed, with nothing
// painted until the save ended (about 10 s for 60,000 links). The window now stays up and
// counts the save, its stop buttons no longer act, and the page's summary is not touched.
TEST_F(VerifyPageTest, SaveIsCountedInTheProgressWindowAndLeavesTheSummary) {
    // One dead link changes the set; the mail links are not requested but saved with it.
    std::string text = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<TITLE>Bookmarks</TITLE>\n<DL><p>\n";
    text += "    <DT><A HREF=\"" + server.Url("/status/404") + "\">Gone</A>\n";
    for (int i = 0; i < 500; ++i) text += "    <DT><A HREF=\"mailto:" + std::to_string(i) + "@example.com\">Mail</A>\n";
    WriteFile(path, text + "</DL><p>\n");
    ChooseSet();
    struct SavePaints : QObject {
        QStringList counts;
        bool stopsLive = false;
        bool eventFilter(QObject* watched, QEvent* event) override {
            auto* label = qobject_cast<QLabel*>(watched);
            if (event->type() == QEvent::Paint && label &&
                label->objectName() == QString::number(control::kCurrentStatus) &&
                label->text().startsWith("Saving item")) {
                counts << label->text();
                for (int id : {control::kOk, control::kCancel}) {
                    stopsLive = stopsLive || Control<QPushButton>(label->window(), id)->isEnabled();
                }
            }
            return false;
        }
    } paints;
    QApplication::instance()->installEventFilter(&paints);
    auto progress = ModalAnswerer::For<CVerifyProgress>([](CVerifyProgress*) {});
    ClickVerify();
    QApplication::instance()->removeEventFilter(&paints);
    EXPECT_TRUE(progress->Done());
    EXPECT_FALSE(paints.counts.isEmpty()) << "the save was never painted in the progress window";
    EXPECT_FALSE(paints.stopsLive);
    EXPECT_EQ(Status(),
              "Verification complete.  1 URLs tested; 1 did not work.  500 skipped (not http, https or ftp).\n"
              "Updated URL set saved.");
    EXPECT_NE(ReadFile(path).find("Unverified"), std::string::npos);
}

TEST_F(VerifyPageTest, RunOptionsAreUsedAndRememberedForTheNextStart) {
    WriteSet({{"Flaky", "/flaky/7"}, {"Gone", "/status/404"}, {"Moved", "/hop/301/page/new"}});
    ChooseSet();
    Control<QSpinBox>(&page, control::kLinksAtOnce)->setValue(4);
    Control<QCheckBox>(&page, control::kConfirmFailures)->setChecked(true);
    auto* backup = Control<QCheckBox>(&page, control::kKeepBackup);
    EXPECT_TRUE(backup->isChecked());
    backup->setChecked(false);
    auto* updateMoved = Control<QCheckBox>(&page, control::kUpdateMoved);
    EXPECT_FALSE(updateMoved->isChecked());
    updateMoved->setChecked(true);
    Control<QCheckBox>(&page, control::kSuggestArchive)->setChecked(true);
    page.settings.archiveUrl = server.Url("/");
    auto progress = ModalAnswerer::For<CVerifyProgress>([](CVerifyProgress*) {});
    ClickVerify();
    EXPECT_TRUE(progress->Done());
    // The dead link is listed with its archived copy.
    ASSERT_NE(page.ResultsWindow(), nullptr);
    const QAbstractItemModel* table = page.ResultsWindow()->Table()->model();
    QString archived;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->index(row, 1).data().toString() == "Gone") archived = table->index(row, 6).data().toString();
    }
    EXPECT_EQ(archived.toStdString(), server.Url("/web/20200101000000id_/" + server.Url("/status/404")));
    // The flaky link worked on its second try; only the 404 was moved.
    EXPECT_EQ(Status(), "Verification complete.  3 URLs tested; 1 did not work.  1 updated (moved permanently).\n"
                        "Updated URL set saved.");
    EXPECT_EQ(server.Hits("/flaky/7"), 2);
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    CVerify next{store, prompter};
    EXPECT_EQ(Control<QSpinBox>(&next, control::kLinksAtOnce)->value(), 4);
    EXPECT_TRUE(Control<QCheckBox>(&next, control::kConfirmFailures)->isChecked());
    EXPECT_FALSE(Control<QCheckBox>(&next, control::kKeepBackup)->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(&next, control::kUpdateMoved)->isChecked());
    EXPECT_TRUE(Control<QCheckBox>(&next, control::kSuggestArchive)->isChecked());
}

TEST_F(VerifyPageTest, SkipFieldAndOnlyUnverifiedReachTheRunAndAreRemembered) {
    WriteSet({{"Gone", "/status/404"}, {"Alive", "/status/200"}});
    ChooseSet();
    auto* skip = Control<QLineEdit>(&page, control::kSkipLinks);
    QTest::keyClicks(skip, "*/status/404 ; \\Old stuff");
    auto progress = ModalAnswerer::For<CVerifyProgress>([](CVerifyProgress*) {});
    ClickVerify();
    EXPECT_TRUE(progress->Done());
    EXPECT_EQ(Status(),
              "Verification complete.  1 URLs tested; 0 did not work.  1 skipped as asked.\nCurrent URL set unchanged.");
    EXPECT_EQ(page.settings.skipFolders, std::vector<std::string>{"\\Old stuff"});
    // The set has no such folder: the person is told their entry leaves nothing out.
    ASSERT_EQ(prompter.shown.size(), 1u);
    EXPECT_EQ(prompter.shown[0].text, "No folder \\Old stuff in " + path + ": nothing is left out for it.");

    // A run that requests nothing ends its progress window by itself.
    Control<QCheckBox>(&page, control::kOnlyUnverified)->setChecked(true);
    ClickVerify();
    EXPECT_EQ(Status().rfind("Verification complete.  0 URLs tested; 0 did not work.  2 skipped as asked.", 0), 0u)
        << Status();
    EXPECT_EQ(server.Hits("/status/404"), 0);
    EXPECT_EQ(server.Hits("/status/200"), 1);

    CVerify next{store, prompter};
    EXPECT_EQ(Control<QLineEdit>(&next, control::kSkipLinks)->text().toStdString(), "*/status/404 ; \\Old stuff");
    EXPECT_TRUE(Control<QCheckBox>(&next, control::kOnlyUnverified)->isChecked());
}

// Regression: Enter in the location box pressed the sheet's default button and closed it.
TEST_F(VerifyPageTest, EnterInTheLocationBoxVerifiesAndKeepsTheSheetOpen) {
    PropertySheet sheet("Tolva");
    sheet.AddPage(&page, "Verify");
    sheet.show();
    sheet.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&sheet));
    WriteSet({{"Alive", "/status/200"}});
    ShowFormatInBox(Control<QComboBox>(&page, control::kVerifyFormat), UrlSetFormat::Netscape);
    auto* box = Control<LocationCombo>(&page, control::kVerifyLocation);
    box->setFocus();
    QWidget* typing = QApplication::focusWidget();
    ASSERT_TRUE(typing == box || typing == box->lineEdit());
    QTest::keyClicks(typing, QString::fromStdString(path));
    auto progress = ModalAnswerer::For<CVerifyProgress>([](CVerifyProgress*) {});
    QTest::keyClick(typing, Qt::Key_Return);
    EXPECT_TRUE(progress->Done());
    EXPECT_TRUE(sheet.isVisible());
    EXPECT_EQ(Status().rfind("Verification complete.  1 URLs tested; 0 did not work.", 0), 0u) << Status();
    sheet.Tabs()->removeTab(0);
    page.setParent(nullptr);
}

// Receives the addresses a double-click hands to the desktop instead of a browser.
class OpenedLinks : public QObject {
    Q_OBJECT
public slots:
    void Open(const QUrl& url) { urls.push_back(url.toString().toStdString()); }

public:
    std::vector<std::string> urls;
};

// After a run the results window lists every link it did not simply keep, with why; it filters,
// finds, opens a link and saves the same report as --report.
TEST_F(VerifyPageTest, ResultsWindowListsWhatTheRunDidAndSavesTheReport) {
    std::string text = "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n<DL><p>\n";
    text += "    <DT><A HREF=\"" + server.Url("/status/200") + "\">Alive</A>\n";
    text += "    <DT><A HREF=\"" + server.Url("/status/404") + "\">Gone</A>\n";
    text += "    <DT><A HREF=\"mailto:ann@example.com\">Mail</A>\n</DL><p>\n";
    WriteFile(path, text);
    ChooseSet();
    EXPECT_FALSE(Control<QPushButton>(&page, control::kShowResults)->isEnabled());
    auto progress = ModalAnswerer::For<CVerifyProgress>([](CVerifyProgress*) {});
    ClickVerify();
    CVerifyResults* results = page.ResultsWindow();
    ASSERT_NE(results, nullptr);
    EXPECT_TRUE(results->isVisible());
    EXPECT_TRUE(Control<QPushButton>(&page, control::kShowResults)->isEnabled());
    auto cell = [&](int row, int column) {
        return results->Table()->model()->index(row, column).data().toString().toStdString();
    };
    ASSERT_EQ(results->ShownCount(), 2) << "the working link is not listed";
    results->Table()->sortByColumn(1, Qt::AscendingOrder);
    EXPECT_EQ(cell(0, 1), "Gone");
    EXPECT_EQ(cell(0, 3), "moved");
    EXPECT_EQ(cell(0, 4), "Page not found");
    EXPECT_EQ(cell(1, 1), "Mail");
    EXPECT_EQ(cell(1, 3), "skipped");
    EXPECT_EQ(cell(1, 4), LoadString(IDS_SKIPPED_REASON));

    QTest::keyClicks(results->FindBox(), "mailto");
    EXPECT_EQ(results->ShownCount(), 1);
    results->FindBox()->clear();
    results->OutcomeBox()->setCurrentIndex(results->OutcomeBox()->findText("moved"));
    ASSERT_EQ(results->ShownCount(), 1);
    OpenedLinks opened;
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &opened, "Open");
    results->OpenRow(0);
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    EXPECT_EQ(opened.urls, std::vector<std::string>{server.Url("/status/404")});

    // Saved through its chooser as CSV, by the filter chosen; JSON by its name.
    auto chooser = ModalAnswerer::For<QFileDialog>([&](QFileDialog* dialog) {
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->selectNameFilter(dialog->nameFilters().at(1));
        emit dialog->filterSelected(dialog->nameFilters().at(1));
        dialog->selectFile(QString::fromStdString(dir.File("report")));
        static_cast<QDialog*>(dialog)->accept();
    });
    results->OnSaveReport();
    const std::string csv = ReadFile(dir.File("report.csv"));
    EXPECT_EQ(csv.rfind("folder,name,url,final_url,code,error,ms,action\r\n", 0), 0u) << csv;
    EXPECT_NE(csv.find(",kept\r\n"), std::string::npos) << "the report holds every link, as --report does";
    ASSERT_TRUE(results->SaveReport(dir.File("report.json")));
    const std::string json = ReadFile(dir.File("report.json"));
    EXPECT_NE(json.find("\"saved\":true"), std::string::npos) << json;
    EXPECT_NE(json.find("\"action\":\"skipped\""), std::string::npos);
    EXPECT_FALSE(results->SaveReport(dir.File("missing/report.json")));
    EXPECT_EQ(prompter.shown.size(), 1u) << "a report that cannot be written is said";
}

// OK, Cancel and Escape are pressed while the first link's request is still outstanding:
// the window must answer at once and the run stop without waiting for the server.
TEST_F(VerifyPageTest, StoppingWhileARequestIsOutstanding) {
    const struct {
        const char* how;
        const char* statusStart;
    } rows[] = {{"ok", "Verification imcomplete."},
                {"cancel", "Verification canceled."},
                {"escape", "Verification canceled."},
                {"close box", "Verification canceled."}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.how);
        WriteSet({{"Stalls", "/stall"}, {"Never tested", "/status/200"}});
        const std::string before = ReadFile(path);
        ChooseSet();
        QTimer outstanding;
        auto progress = ModalAnswerer::For<CVerifyProgress>([&](CVerifyProgress* dialog) {
            QObject::connect(&outstanding, &QTimer::timeout, [&, dialog] {
                if (Control<QLabel>(dialog, control::kCurrentStatus)->text() != "Request sent; waiting for response")
                    return;
                outstanding.stop();
                const std::string how = row.how;
                if (how == "ok") {
                    Control<QPushButton>(dialog, control::kOk)->click();
                } else if (how == "cancel") {
                    Control<QPushButton>(dialog, control::kCancel)->click();
                } else if (how == "escape") {
                    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                    QApplication::sendEvent(dialog, &escape);
                } else {
                    dialog->close();
                }
            });
            outstanding.start(5);
        });
        ClickVerify();
        EXPECT_EQ(server.Hits("/status/200"), 0) << "the run stopped before the second link";
        EXPECT_EQ(Status().rfind(row.statusStart, 0), 0u) << Status();
        EXPECT_EQ(ReadFile(path), before) << "nothing was changed, so nothing was saved";
    }
}

TEST_F(VerifyPageTest, InteractiveRepairRetestsTheEditedUrl) {
    WriteSet({{"Moved <b>page</b>", "/status/404"}});
    ChooseSet();
    Control<QCheckBox>(&page, control::kInteractive)->setChecked(true);
    const std::string repaired = server.Url("/status/200");
    auto repair = ModalAnswerer::For<CUrlRepair>([&](CUrlRepair* dialog) {
        auto* name = Control<QLabel>(dialog, control::kRepairName);
        EXPECT_EQ(name->text(), "Moved <b>page</b>");
        EXPECT_EQ(name->textFormat(), Qt::PlainText);
        EXPECT_EQ(Control<QLabel>(dialog, control::kRepairUrl)->text().toStdString(), server.Url("/status/404"));
        dialog->NewUrlBox()->setPlainText(QString::fromStdString(repaired));
        Control<QPushButton>(dialog, control::kOk)->click();
    });
    ClickVerify();
    EXPECT_TRUE(repair->Done());
    // Regression: the repaired link was counted as one that did not work.
    EXPECT_EQ(Status(), "Verification complete.  1 URLs tested; 0 did not work, 1 repaired.\nUpdated URL set saved.");
    const std::string saved = ReadFile(path);
    EXPECT_NE(saved.find(repaired), std::string::npos);
    EXPECT_EQ(saved.find("Page not found"), std::string::npos) << "the repaired link stays where it was";
}

TEST_F(VerifyPageTest, CancelledCookieWarningEndsTheCommandBeforeAnyRequest) {
    SetCookies(false);
    WriteSet({{"Alive", "/status/200"}});
    ChooseSet();
    auto warning = ModalAnswerer::For<CCookieWarning>([](CCookieWarning* dialog) {
        EXPECT_TRUE(Control<QRadioButton>(dialog, control::kCookiesDuringRun)->isChecked())
            << "accept during the run is preselected";
        dialog->reject();
    });
    ClickVerify();
    EXPECT_EQ(server.Hits("/status/200"), 0);
    // Regression: the reader's "Netscape file loaded." stayed, as if the command had worked.
    EXPECT_EQ(Status(), "Verification canceled.");
}

// The three answers of the repair dialog, as the run receives them.
TEST(UrlRepairDialogTest, ReturnsTheAnswerAndTheEditedUrl) {
    const struct {
        const char* how;
        const char* edit;
        int result;
        const char* newUrl;
    } rows[] = {{"ok", nullptr, kDialogOk, "http://old/"},
                {"ok", "http://new/", kDialogOk, "http://new/"},
                {"reject", "http://typed/", kDialogCancel, "http://old/"},
                {"escape", nullptr, kDialogCancel, "http://old/"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.how) + (row.edit ? " edited" : ""));
        CUrlRepair dialog;
        UrlRepairFields fields{"Not Found", "Old page", "http://old/", "http://old/", ""};
        auto answer = ModalAnswerer::For<CUrlRepair>([&row](CUrlRepair* shown) {
            EXPECT_EQ(shown->NewUrlBox()->toPlainText(), "http://old/");
            if (row.edit) shown->NewUrlBox()->setPlainText(row.edit);
            const std::string how = row.how;
            if (how == "ok") {
                Control<QPushButton>(shown, control::kOk)->click();
            } else if (how == "reject") {
                Control<QPushButton>(shown, control::kCancel)->click();
            } else {
                QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                QApplication::sendEvent(shown, &escape);
            }
        });
        EXPECT_EQ(dialog.DoModal(fields), row.result);
        EXPECT_EQ(fields.newUrl, row.newUrl);
    }
}

TEST(CookieWarningDialogTest, ReportsTheChosenButtonOnlyOnOk) {
    CCookieWarning dialog;
    int choice = kCookieChoiceDuringRun;
    auto always = ModalAnswerer::For<CCookieWarning>([](CCookieWarning* shown) {
        Control<QRadioButton>(shown, control::kCookiesAlways)->setChecked(true);
        Control<QPushButton>(shown, control::kOk)->click();
    });
    EXPECT_EQ(dialog.DoModal(choice), kDialogOk);
    EXPECT_EQ(choice, kCookieChoiceAlways);

    auto cancel = ModalAnswerer::For<CCookieWarning>([](CCookieWarning* shown) {
        EXPECT_TRUE(Control<QRadioButton>(shown, control::kCookiesAlways)->isChecked());
        Control<QRadioButton>(shown, control::kCookiesPrompt)->setChecked(true);
        Control<QPushButton>(shown, control::kCancel)->click();
    });
    EXPECT_EQ(dialog.DoModal(choice), kDialogCancel);
    EXPECT_EQ(choice, kCookieChoiceAlways);
}

}  // namespace
}  // namespace tolva

#include "verify_page_test.moc"
