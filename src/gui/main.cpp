// tolva: the desktop program. One modal sheet with the Translate, Verify and About tabs; the
// program ends when it closes. Its only options are the platform's --version and --help.

#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstring>

#include "gui/qt_person.h"
#include "gui/tolva_sheet.h"
#include "platform/scratch_folder.h"
#include "platform/settings_store.h"
#include "resources/strings.h"
#include "verify/curl_library.h"

namespace {

constexpr char kUsage[] =
    "Usage: tolva [--version] [--help]\n"
    "Translate and verify URL sets: Netscape bookmark files, Mosaic hotlists and folders of Internet\n"
    "shortcut files. Without options it opens its window with the Translate, Verify and About tabs;\n"
    "the same runs without a window are tolva-cli's.\n"
    "\n"
    "Options:\n"
    "  --version  Print the program's name and version and exit\n"
    "  --help     Print this text and exit\n";

// Answered before Qt starts, so that they need no display. Qt's own options (-platform, ...)
// pass through to QApplication.
int PlatformOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("tolva " TOLVA_VERSION "\n", stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (int answered = PlatformOption(argc, argv); answered >= 0) return answered;

    // libcurl's global set-up must happen before any thread exists; a peer closing a
    // connection must not end the program with SIGPIPE. A library that cannot be loaded is
    // reported when a verification starts.
    tolva::Curl();
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit then fails the write (EFBIG), which is reported, instead of ending
    // the program halfway through a save.
    std::signal(SIGXFSZ, SIG_IGN);
    // A run killed outright could not remove its private copies of a browser's store.
    tolva::RemoveLeftoverScratchFolders();

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
