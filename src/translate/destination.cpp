// The questions a translation's destination raises inside Open: an existing bookmark file or
// hotlist (backup or replace), an existing shortcut folder (use it?), a missing one (create
// it?). Every answer defaults to No, and nothing is removed without a backup or a No.

#include <sys/stat.h>

#include <cstdio>

#include "model/url_set.h"
#include "resources/strings.h"

namespace tolva {

namespace {

constexpr char kBackupSuffix[] = ".bak";

}  // namespace

bool UrlSet::ReplaceExistingDestination(File& file) {
    // Creating a file over a folder fails as "file exists" too; a whole folder tree must never
    // be renamed or removed in its place, so that is refused without a question.
    struct stat info {};
    if (::stat(location.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;

    if (prompter_->AskYesNo(LoadString(IDS_ASK_BACKUP), LoadString(IDS_CAPTION))) {
        // One rename: an older backup of the same name is replaced by the current file, and
        // if the rename fails the current file stays where it is.
        const std::string backup = location + kBackupSuffix;
        if (std::rename(location.c_str(), backup.c_str()) != 0) return false;
    } else if (std::remove(location.c_str()) != 0) {
        return false;
    }
    return file.CreateNew(location);
}

bool UrlSet::UseExistingDestinationFolder() {
    return prompter_->AskYesNo(FormatString(IDS_ASK_USE_FOLDER, {location}), LoadString(IDS_CAPTION));
}

bool UrlSet::CreateMissingDestinationFolder() {
    if (!prompter_->AskYesNo(FormatString(IDS_ASK_CREATE_FOLDER, {location}), LoadString(IDS_CAPTION))) return false;
    // One level only: the parent must exist.
    return ::mkdir(location.c_str(), 0777) == 0;
}

}  // namespace tolva
