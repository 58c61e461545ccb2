// tolva: the desktop program. One modal sheet with the Translate, Verify and About tabs; the
// program ends when it closes. It takes no command-line options.

#include <QApplication>
#include <csignal>

#include "platform/settings_store.h"
#include "resources/strings.h"
#include "gui/qt_person.h"
#include "gui/tolva_sheet.h"
#include "verify/curl_library.h"

int main(int argc, char** argv) {
    // libcurl's global set-up must happen before any thread exists; a peer closing a
    // connection must not end the program with SIGPIPE. A library that cannot be loaded is
    // reported when a verification starts.
    tolva::Curl();
    std::signal(SIGPIPE, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tolva"));
    QApplication::setWindowIcon(tolva::ProgramIcon());
    // The sheet is the only window: closing it ends the program, not an empty event loop.
    QApplication::setQuitOnLastWindowClosed(false);

    // A settings file that cannot be read is left alone for the person to mend; say so once,
    // since every location they use would otherwise be forgotten without a word.
    if (tolva::SettingsStore probe(tolva::SettingsStore::DefaultPath()); !probe.Load()) {
        tolva::QtPrompter::Instance().ShowMessage(
            tolva::FormatString(tolva::IDS_UI_SETTINGS_UNREADABLE, {probe.Path()}),
            tolva::LoadString(tolva::IDS_MSG_CAPTION_RUN));
    }
    {
        tolva::TolvaSheet sheet(tolva::SettingsStore::User(), tolva::QtPrompter::Instance());
        sheet.Exec();
    }
    tolva::ReleaseCurl();
    return 0;
}
