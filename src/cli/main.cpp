#include <CLI/CLI.hpp>
#include <csignal>
#include <string>

#include "cli/commands.h"

int main(int argc, char** argv) {
    // A peer that closes its connection must not end the program with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit then fails the write (EFBIG), which is reported, instead of ending
    // the program halfway through a save.
    std::signal(SIGXFSZ, SIG_IGN);
    CLI::App app{
        "tolva-cli: translate and verify URL sets (Netscape bookmark files, Mosaic hotlists and folders of "
        "Internet shortcut files)"};
    app.set_version_flag("--version", std::string("tolva-cli ") + TOLVA_VERSION);
    app.require_subcommand(1);
    auto translate = tolva::cli::AddTranslateCommand(app);
    auto verify = tolva::cli::AddVerifyCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == 0 ? 0 : 2;
    }
    if (app.got_subcommand("translate")) return translate();
    if (app.got_subcommand("verify")) return verify();
    return 2;
}
