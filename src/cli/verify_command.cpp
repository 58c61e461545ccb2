#include <cstdio>

#include "cli/commands.h"

namespace tolva::cli {

CommandHandler AddVerifyCommand(CLI::App& app) {
    app.add_subcommand("verify", "Test every link of a URL set over the network");
    return [] {
        std::fputs("tolva-cli verify: not built yet\n", stderr);
        return 1;
    };
}

}  // namespace tolva::cli
