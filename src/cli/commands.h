#pragma once
// The subcommands of tolva-cli. Each adds itself to the parser and returns the handler that
// runs it; the handler's result is the process's exit code.

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

#include "model/set_kinds.h"

namespace tolva::cli {

using CommandHandler = std::function<int()>;

CommandHandler AddTranslateCommand(CLI::App& app);
CommandHandler AddVerifyCommand(CLI::App& app);

// The exit status of a usage error.
inline constexpr int kUsageError = 2;

// The format names, as help and usage errors list them.
inline constexpr char kFormatNames[] =
    "mosaic, netscape, shortcuts, xbel, chromium (written to a new file only: a running browser rewrites its own "
    "file), firefox (read only)";

// The format a --format name names ("mosaic", "netscape", "shortcuts", "xbel", "chromium",
// "firefox"); None for any other.
inline UrlSetFormat FormatCode(const std::string& name) {
    if (name == "mosaic") return UrlSetFormat::Mosaic;
    if (name == "netscape") return UrlSetFormat::Netscape;
    if (name == "shortcuts") return UrlSetFormat::Shortcuts;
    if (name == "xbel") return UrlSetFormat::Xbel;
    if (name == "chromium") return UrlSetFormat::Chromium;
    if (name == "firefox") return UrlSetFormat::Firefox;
    return UrlSetFormat::None;
}

}  // namespace tolva::cli
