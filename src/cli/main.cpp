#include <CLI/CLI.hpp>
#include <algorithm>
#include <csignal>
#include <memory>
#include <string>
#include <string_view>

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
    // Only the command named is built when the first argument names one: building every
    // command's options costs each run a good part of its start.
    struct Command {
        const char* name;
        tolva::cli::CommandHandler (*add)(CLI::App&);
        tolva::cli::CommandHandler handler;
    };
    Command commands[] = {{"translate", tolva::cli::AddTranslateCommand, {}},
                          {"verify", tolva::cli::AddVerifyCommand, {}},
                          {"locations", tolva::cli::AddLocationsCommand, {}},
                          {"merge", tolva::cli::AddMergeCommand, {}}};
    const std::string_view named = argc > 1 ? argv[1] : "";
    const bool namesOne = std::any_of(std::begin(commands), std::end(commands),
                                      [&](const Command& command) { return named == command.name; });
    for (Command& command : commands) {
        if (!namesOne || named == command.name) command.handler = command.add(app);
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        int code = app.exit(error);
        return code == 0 ? 0 : 2;
    }
    for (Command& command : commands) {
        if (command.handler && app.got_subcommand(command.name)) return command.handler();
    }
    return 2;
}
