#include "translate/destination.h"

#include <sys/stat.h>

#include <cstdio>

#include "resources/strings.h"

namespace tolva {

namespace {

constexpr char kBackupSuffix[] = ".bak";

// What UrlSet::Open asks when it meets a destination in the way.
class TranslationQuestions final : public DestinationQuestions {
public:
    bool ReplaceExistingDestination(UrlSet& set, File& file) const override {
        const std::string& location = set.location;
        // Creating a file over a folder fails as "file exists" too; a whole folder tree must
        // never be renamed or removed in its place, so that is refused without a question.
        struct stat info {};
        if (::stat(location.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return false;

        const Answer keepCopy = set.GetPrompter().AskYesNoCancel(LoadString(IDS_ASK_BACKUP), LoadString(IDS_CAPTION));
        if (keepCopy == Answer::Cancel) return false;  // the person changed their mind: leave the file
        if (keepCopy == Answer::Yes) {
            // One rename: an older backup of the same name is replaced by the current file, and
            // if the rename fails the current file stays where it is.
            const std::string backup = location + kBackupSuffix;
            if (std::rename(location.c_str(), backup.c_str()) != 0) return false;
        } else if (std::remove(location.c_str()) != 0) {
            return false;
        }
        return file.CreateNew(location);
    }

    bool UseExistingDestinationFolder(UrlSet& set) const override {
        return set.GetPrompter().AskYesNo(FormatString(IDS_ASK_USE_FOLDER, {set.location}), LoadString(IDS_CAPTION));
    }

    bool CreateMissingDestinationFolder(UrlSet& set) const override {
        if (!set.GetPrompter().AskYesNo(FormatString(IDS_ASK_CREATE_FOLDER, {set.location}), LoadString(IDS_CAPTION))) {
            return false;
        }
        // One level only: the parent must exist.
        return ::mkdir(set.location.c_str(), 0777) == 0;
    }
};

}  // namespace

int OpenDestination(UrlSet& set, UrlSetFormat format, const std::string& location) {
    static const TranslationQuestions questions;
    return set.Open(UrlSetOpenMode::CreateNew, format, location, &questions);
}

}  // namespace tolva
