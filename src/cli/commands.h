#pragma once
// The subcommands of tolva-cli. Each adds itself to the parser and returns the handler that
// runs it; the handler's result is the process's exit code.

#include <CLI/CLI.hpp>

#include <functional>

namespace tolva::cli {

using CommandHandler = std::function<int()>;

CommandHandler AddTranslateCommand(CLI::App& app);
CommandHandler AddVerifyCommand(CLI::App& app);

}  // namespace tolva::cli
