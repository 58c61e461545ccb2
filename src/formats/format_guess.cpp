#include "formats/format_guess.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "formats/format_table.h"
#include "platform/ascii.h"

namespace tolva {

namespace {

namespace fs = std::filesystem;

// Enough of a file's start for every row's signature.
constexpr std::size_t kSniffLength = 4096;

std::string FirstBytes(const std::string& location) {
    std::ifstream in(location, std::ios::binary);
    std::string bytes(kSniffLength, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

UrlSetFormat FolderFormat() {
    for (const FormatTableRow& row : FormatTable()) {
        if (row.codec.storage == FormatStorage::Folder) return row.format;
    }
    return UrlSetFormat::None;
}

// bytes: the file's first bytes, or null for a new file, whose owner's name is enough.
UrlSetFormat FormatOfName(const fs::path& path, const std::string_view* bytes) {
    const std::string name = path.filename().string();
    std::string extension = path.extension().string();
    if (!extension.empty()) extension = LowerAscii(extension.substr(1));
    for (const FormatTableRow& row : FormatTable()) {
        for (std::string_view known : row.extensions) {
            if (!extension.empty() && known == extension) return row.format;
        }
        if (!row.fileName.empty() && name == row.fileName &&
            (bytes == nullptr || TextStart(*bytes).starts_with(row.fileNameStarts)))
            return row.format;
    }
    return UrlSetFormat::None;
}

}  // namespace

UrlSetFormat FormatOfFirstBytes(std::string_view bytes) {
    // A signature at the start outweighs a mark further in; between equals the table's order.
    UrlSetFormat best = UrlSetFormat::None;
    Likeness bestLikeness = Likeness::None;
    for (const FormatTableRow& row : FormatTable()) {
        if (row.likeness == nullptr) continue;
        const Likeness likeness = row.likeness(bytes);
        if (likeness > bestLikeness) {
            best = row.format;
            bestLikeness = likeness;
        }
    }
    return best;
}

FormatGuess GuessSourceFormat(const std::string& location) {
    std::error_code error;
    if (fs::is_directory(location, error)) return {FolderFormat(), GuessBasis::Folder};
    const std::string bytes = FirstBytes(location);
    const std::string_view start = bytes;
    const UrlSetFormat byBytes = FormatOfFirstBytes(bytes);
    if (UrlSetFormat format = FormatOfName(location, &start); format != UrlSetFormat::None) {
        // An extension several programs use (".json") may name another format's file: where
        // the bytes show nothing of the named format but another's signature, they tell.
        const FormatTableRow* named = FormatRowOf(format);
        const FormatTableRow* shown = FormatRowOf(byBytes);
        const bool otherShown = shown != nullptr && byBytes != format && shown->likeness(bytes) == Likeness::Signature;
        if (!otherShown || named->likeness == nullptr || named->likeness(bytes) != Likeness::None)
            return {format, GuessBasis::Name};
    }
    if (byBytes != UrlSetFormat::None) return {byBytes, GuessBasis::FirstBytes};
    return {};
}

FormatGuess GuessDestinationFormat(const std::string& location) {
    std::error_code error;
    if (fs::is_directory(location, error) || location.ends_with('/')) return {FolderFormat(), GuessBasis::Folder};
    if (UrlSetFormat format = FormatOfName(location, nullptr); format != UrlSetFormat::None)
        return {format, GuessBasis::Name};
    return {};
}

}  // namespace tolva
