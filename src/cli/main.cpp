#include <CLI/CLI.hpp>
#include <csignal>
#include <memory>
#include <string>

#include "cli/commands.h"
#include "platform/scratch_folder.h"

namespace {

// Help as CLI11 makes it, but for the value it shows after a flag's negated name
// ("--no-fix-ampersands{false}"): the parser's notation, which tells a person nothing.
class HelpFormatter final : public CLI::Formatter {
public:
    std::string make_option_name(const CLI::Option* option, bool positional) const override {
        std::string name = CLI::Formatter::make_option_name(option, positional);
        for (std::size_t open = name.find('{'); open != std::string::npos; open = name.find('{', open)) {
            const std::size_t close = name.find('}', open);
            if (close == std::string::npos) break;
            name.erase(open, close - open + 1);
        }
        return name;
    }
};

}  // namespace

int main(int argc, char** argv) {
    // A peer that closes its connection must not end the program with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit then fails the write (EFBIG), which is reported, instead of ending
    // the program halfway through a save.
    std::signal(SIGXFSZ, SIG_IGN);
    // A run killed outright could not remove its private copies of a browser's store.
    tolva::RemoveLeftoverScratchFolders();
    CLI::App app{
        "tolva-cli: translate, verify and merge URL sets (Netscape bookmark files, Mosaic hotlists and folders of "
        "Internet shortcut files)"};
    // Set before the subcommands are added: each takes the formatter its parent has then.
    app.formatter(std::make_shared<HelpFormatter>());
    app.set_version_flag("--version", std::string("tolva-cli ") + TOLVA_VERSION);
    app.require_subcommand(1);
    auto translate = tolva::cli::AddTranslateCommand(app);
    auto verify = tolva::cli::AddVerifyCommand(app);
    auto locations = tolva::cli::AddLocationsCommand(app);
    auto merge = tolva::cli::AddMergeCommand(app);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == 0 ? 0 : 2;
    }
    if (app.got_subcommand("translate")) return translate();
    if (app.got_subcommand("verify")) return verify();
    if (app.got_subcommand("locations")) return locations();
    if (app.got_subcommand("merge")) return merge();
    return 2;
}
