#pragma once
// The subcommands of tolva-cli. Each adds itself to the parser and returns the handler that
// runs it; the handler's result is the process's exit code.

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace tolva::cli {

using CommandHandler = std::function<int()>;

CommandHandler AddTranslateCommand(CLI::App& app);
CommandHandler AddVerifyCommand(CLI::App& app);
CommandHandler AddLocationsCommand(CLI::App& app);
CommandHandler AddMergeCommand(CLI::App& app);

// The exit status of a usage error.
inline constexpr int kUsageError = 2;

}  // namespace tolva::cli
