#include "translate/destination.h"

#include <sys/stat.h>

#include <cerrno>

#include "locations/recent_locations.h"
#include "platform/atomic_replace.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// What SetStorage::Open asks when it meets a destination in the way.
class TranslationQuestions final : public DestinationQuestions {
public:
    ReplaceDecision ReplaceExistingDestination(UrlSet& set) const override {
        const std::string& location = set.location;
        // Creating a file over a folder fails as "file exists" too; a whole folder tree must
        // never be renamed or removed in its place, so that is refused without a question.
        struct stat info {};
        if (::stat(location.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return ReplaceDecision::Refuse;

        const Answer keepCopy = set.GetPrompter().AskYesNoCancel(LoadString(IDS_ASK_BACKUP), LoadString(IDS_CAPTION));
        if (keepCopy == Answer::Cancel) return ReplaceDecision::Cancel;
        // A run killed while keeping a backup left its temporary beside the backup; whatever is
        // answered now, it is cleared with the destination's own.
        const std::string backup = location + kBackupSuffix;
        RemoveLeftoverTemporaries(AT_FDCWD, backup);
        if (keepCopy == Answer::No) return ReplaceDecision::Replace;
        // The file itself stays until the new set replaces it whole. The backup is a copy of
        // what it holds (of the file a symbolic link points to), made now: an older backup of
        // the same name is replaced in one step, and if no copy can be made nothing changes.
        if (KeepCopy(location, backup)) return ReplaceDecision::Replace;
        set.ShowRunMessage(FormatString(IDS_ERR_KEEPING_BACKUP, {errno, backup}));
        return ReplaceDecision::Failed;
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

int OpenDestination(SetStorage& storage, UrlSetFormat format, const std::string& location) {
    static const TranslationQuestions questions;
    return storage.Open(UrlSetOpenMode::CreateNew, format, location, &questions);
}

}  // namespace tolva
