#include "formats/storage_errors.h"

#include <cerrno>
#include <filesystem>

#include "formats/format_table.h"
#include "resources/strings.h"

namespace tolva {

namespace {

bool PermissionDenied(int errnoValue) { return errnoValue == EACCES || errnoValue == EPERM || errnoValue == EROFS; }

// The folder a set's file is made in, as the person would look for it.
std::string FolderOf(const std::string& location) {
    const std::filesystem::path parent = std::filesystem::path(location).parent_path();
    return parent.empty() ? std::string(".") : parent.string();
}

}  // namespace

std::string StorageFailureText(StorageStep step, int errnoValue, const std::string& location) {
    if (errnoValue == EISDIR)
        return FormatString(step == StorageStep::Create ? IDS_SET_FOLDER_IN_THE_WAY : IDS_SET_IS_FOLDER, {location});
    if (errnoValue == ENOTDIR && step == StorageStep::Open) return FormatString(IDS_SET_IS_FILE, {location});
    switch (step) {
        case StorageStep::Open:
            if (PermissionDenied(errnoValue)) return FormatString(IDS_SET_NOT_PERMITTED, {location});
            return FormatString(IDS_SET_NOT_FOUND, {location});
        case StorageStep::Create:
            if (errnoValue == EEXIST) return FormatString(IDS_SET_EXISTS, {location});
            if (PermissionDenied(errnoValue))
                return FormatString(IDS_SET_FOLDER_READ_ONLY, {location, FolderOf(location)});
            if (errnoValue == ENOENT || errnoValue == ENOTDIR)
                return FormatString(IDS_SET_FOLDER_MISSING, {location, FolderOf(location)});
            return FormatString(IDS_ERR_CREATING_FILE, {errnoValue, location});
        case StorageStep::SaveBack:
            if (PermissionDenied(errnoValue))
                return FormatString(IDS_SET_NOT_SAVED_FOLDER, {location, FolderOf(location)});
            return FormatString(IDS_ERR_SAVING_FILE, {errnoValue, location});
        case StorageStep::SaveBackFolder:
            if (PermissionDenied(errnoValue)) return FormatString(IDS_SHORTCUTS_NOT_SAVED_FOLDER, {location});
            return FormatString(IDS_ERR_WRITING_SHORTCUT, {errnoValue, location});
        case StorageStep::WriteShortcut:
            if (PermissionDenied(errnoValue))
                return FormatString(IDS_SHORTCUT_FOLDER_READ_ONLY, {location, FolderOf(location)});
            return FormatString(IDS_ERR_WRITING_SHORTCUT, {errnoValue, location});
    }
    return FormatString(IDS_SET_NOT_FOUND, {location});
}

std::string FormatTitle(UrlSetFormat format) {
    const FormatTableRow* row = FormatRowOf(format);
    std::string title = row ? LoadString(row->boxText) : std::string();
    // "Mosaic (any flavor) bookmarks" reads as "Mosaic bookmarks" in a sentence.
    for (std::size_t open = title.find(" ("); open != std::string::npos; open = title.find(" (")) {
        const std::size_t close = title.find(')', open);
        if (close == std::string::npos) break;
        title.erase(open, close + 1 - open);
    }
    return title;
}

std::string OtherFormatText(UrlSetFormat format, std::string_view firstBytes, const std::string& location) {
    const FormatTableRow* chosen = FormatRowOf(format);
    if (chosen == nullptr || chosen->likeness == nullptr || chosen->likeness(firstBytes) != Likeness::None) return {};
    // Only a signature at the start is taken for proof: a tag further in may be quoted text.
    for (const FormatTableRow& row : FormatTable()) {
        if (row.format == format || row.likeness == nullptr || row.likeness(firstBytes) != Likeness::Signature)
            continue;
        return FormatString(IDS_SET_OTHER_FORMAT, {location, FormatTitle(row.format), FormatTitle(format)});
    }
    return {};
}

}  // namespace tolva
