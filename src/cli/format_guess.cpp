#include "cli/format_guess.h"

#include <array>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "cli/commands.h"
#include "cli/terminal.h"

namespace tolva::cli {

namespace {

namespace fs = std::filesystem;

// Enough of a file's start for every signature below.
constexpr std::size_t kSniffLength = 4096;

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

UrlSetFormat FromName(const fs::path& path, bool jsonFile) {
    const std::string name = path.filename().string();
    const std::string extension = Lower(path.extension().string());
    if (extension == ".html" || extension == ".htm") return UrlSetFormat::Netscape;
    if (extension == ".hot") return UrlSetFormat::Mosaic;
    if (extension == ".xbel") return UrlSetFormat::Xbel;
    if (name == "places.sqlite") return UrlSetFormat::Firefox;
    if (name == "Bookmarks" && jsonFile) return UrlSetFormat::Chromium;
    return UrlSetFormat::None;
}

std::string FirstBytes(const std::string& location) {
    std::ifstream in(location, std::ios::binary);
    std::string bytes(kSniffLength, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

// The text after a byte order mark and leading white space.
std::string_view Body(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    while (!bytes.empty() && (bytes.front() == ' ' || (bytes.front() >= '\t' && bytes.front() <= '\r')))
        bytes.remove_prefix(1);
    return bytes;
}

UrlSetFormat FromBytes(std::string_view bytes) {
    if (bytes.starts_with(std::string_view("SQLite format 3\0", 16))) return UrlSetFormat::Firefox;
    const std::string_view body = Body(bytes);
    if (body.starts_with("{") && body.find("\"roots\"") != std::string_view::npos) return UrlSetFormat::Chromium;
    if (body.find("<xbel") != std::string_view::npos) return UrlSetFormat::Xbel;
    const std::string lower = Lower(std::string(body));
    if (lower.starts_with("<!doctype netscape-bookmark-file") || body.find("<DT><A ") != std::string_view::npos ||
        body.find("<DT><H3") != std::string_view::npos)
        return UrlSetFormat::Netscape;
    if (body.starts_with("ncsa-xmosaic-hotlist") || body.starts_with("Hotlist")) return UrlSetFormat::Mosaic;
    return UrlSetFormat::None;
}

}  // namespace

FormatGuess GuessSourceFormat(const std::string& location) {
    std::error_code error;
    if (fs::is_directory(location, error)) return {UrlSetFormat::Shortcuts, "it is a folder"};
    const std::string bytes = FirstBytes(location);
    const bool json = Body(bytes).starts_with("{");
    if (UrlSetFormat format = FromName(location, json); format != UrlSetFormat::None) return {format, "from its name"};
    if (UrlSetFormat format = FromBytes(bytes); format != UrlSetFormat::None) return {format, "from its first bytes"};
    return {};
}

FormatGuess GuessDestinationFormat(const std::string& location) {
    std::error_code error;
    if (fs::is_directory(location, error) || location.ends_with('/'))
        return {UrlSetFormat::Shortcuts, "it is a folder"};
    if (UrlSetFormat format = FromName(location, true); format != UrlSetFormat::None) return {format, "from its name"};
    return {};
}

std::string FormatName(UrlSetFormat format) {
    static constexpr std::array<std::string_view, 6> kNames = {"mosaic", "netscape", "shortcuts",
                                                               "xbel",   "chromium", "firefox"};
    const int row = FormatRow(format);
    return row >= 0 && row < static_cast<int>(kNames.size()) ? std::string(kNames[static_cast<std::size_t>(row)])
                                                             : std::string();
}

bool GuessMissingFormat(Terminal& terminal, std::string& name, const std::string& location, bool existing,
                        const std::string& option) {
    if (!name.empty() || location.empty()) return true;
    const FormatGuess guess = existing ? GuessSourceFormat(location) : GuessDestinationFormat(location);
    if (guess.format == UrlSetFormat::None) {
        terminal.Note("tolva-cli: the format of " + location + " cannot be told from its " +
                      (existing ? "name or first bytes" : "name") + "; give " + option + " (" + kFormatNames + ")");
        return false;
    }
    name = FormatName(guess.format);
    terminal.Note("tolva-cli: " + location + " is taken as " + name + " (" + guess.how + ")");
    return true;
}

}  // namespace tolva::cli
