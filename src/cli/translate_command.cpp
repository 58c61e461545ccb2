#include <cstdio>

#include "cli/commands.h"

namespace tolva::cli {

CommandHandler AddTranslateCommand(CLI::App& app) {
    app.add_subcommand("translate", "Translate a URL set into another format or place");
    return [] {
        std::fputs("tolva-cli translate: not built yet\n", stderr);
        return 1;
    };
}

}  // namespace tolva::cli
