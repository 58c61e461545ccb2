#include "formats/set_storage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "formats/file_image.h"
#include "formats/format_table.h"
#include "formats/storage_errors.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// A file's rest, lent to the set whose entries borrow from it.
class LentImage final : public LentText {
public:
    FileImage& Image() { return image_; }

private:
    FileImage image_;
};

// A file at least this large is read on another thread while its reader takes in what has
// arrived (TakeArriving); for a smaller one a thread costs more than it saves.
constexpr std::size_t kArrivingFrom = 4 * 1024 * 1024;
// About what a link takes in a Netscape file (a line with its dates); most formats take more, so
// the count it gives errs toward many.
constexpr std::size_t kFileBytesPerEntry = 256;

// Enough of a file's start for every format's signature.
constexpr std::size_t kFirstBytesLength = 4096;

// The first bytes of the open file at descriptor, read without moving its position.
std::string FirstBytesOf(int descriptor) {
    std::string bytes(kFirstBytesLength, '\0');
    ssize_t got;
    do {
        got = ::pread(descriptor, bytes.data(), bytes.size(), 0);
    } while (got < 0 && errno == EINTR);
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

// Whether reading gave anything but the ends of folders.
bool HoldsEntries(const UrlSet& set) {
    for (const UrlEntry* entry = set.root.next; entry != nullptr; entry = entry->next) {
        if (entry->kind != UrlEntryKind::FolderEnd) return true;
    }
    return false;
}

}  // namespace

// What Open does about a new file: go on with it open, show that the set exists, or stop
// quietly (the questions said all there was to say).
enum class SetStorage::Creation : int { Opened, NotOpened, Stopped };

const FormatCodec* SetStorage::Codec() {
    if (codec_ == nullptr || codec_->format != set_.format) codec_ = CodecFor(set_.format);
    return codec_;
}

std::unique_ptr<File> SetStorage::MakeFile() const { return fileFactory_ ? fileFactory_() : std::make_unique<File>(); }

int SetStorage::Open(UrlSetOpenMode mode, UrlSetFormat setFormat, const std::string& setLocation,
                     const DestinationQuestions* questions) {
    set_.format = setFormat;
    set_.location = setLocation;
    set_.linkCount = 0;
    set_.folderCount = 0;
    set_.currentFlags = 0;
    openCanceled_ = false;
    const FormatCodec* codec = Codec();
    if (codec == nullptr) return 0;
    if (mode == UrlSetOpenMode::CreateNew && codec->writing == FormatWriting::Never) return 0;
    // A format written to new files only never replaces a file in the way: the question of
    // replacing it is not asked, and Open refuses it.
    if (codec->writing == FormatWriting::NewFileOnly) questions = nullptr;
    return codec->storage == FormatStorage::File ? OpenFile(mode, questions, codec->writing != FormatWriting::Never)
                                                 : OpenFolder(mode, questions);
}

int SetStorage::OpenFile(UrlSetOpenMode mode, const DestinationQuestions* questions, bool writable) {
    CloseFile();
    std::unique_ptr<File> file = MakeFile();
    const std::string& location = set_.location;
    bool opened = false;
    if (mode == UrlSetOpenMode::CreateNew) {
        const Creation creation = CreateFile(*file, questions);
        if (creation == Creation::Stopped) return 0;
        opened = creation == Creation::Opened;
    } else {
        opened = writable ? file->OpenExisting(location) : file->OpenReadOnly(location);
    }
    if (!opened) {
        // A file's path through a file is a path not found, not a folder where a file was meant.
        const int error = mode == UrlSetOpenMode::CreateNew ? createErrno_
                          : file->LastErrno() == ENOTDIR   ? ENOENT
                                                           : file->LastErrno();
        std::string message = StorageFailureText(
            mode == UrlSetOpenMode::CreateNew ? StorageStep::Create : StorageStep::Open, error, location);
        if (const FormatCodec* codec = Codec(); mode == UrlSetOpenMode::OpenExisting && error == ENOENT && codec &&
                                                codec->missingMessage) {
            if (const int better = codec->missingMessage(location); better != 0) message = FormatString(better, {location});
        }
        set_.GetPrompter().ShowMessage(message, LoadString(IDS_CAPTION));
        return 0;
    }
    showsFormat_ = true;
    if (mode == UrlSetOpenMode::OpenExisting) {
        // A file that shows another format's signature and nothing of the chosen one is named
        // for what it is, rather than read as what it is not.
        const std::string firstBytes = FirstBytesOf(file->Descriptor());
        if (const std::string other = OtherFormatText(set_.format, firstBytes, location); !other.empty()) {
            set_.GetPrompter().ShowMessage(other, LoadString(IDS_CAPTION));
            return 0;
        }
        const FormatTableRow* row = FormatRowOf(set_.format);
        showsFormat_ = firstBytes.empty() || row == nullptr || row->likeness == nullptr ||
                       row->likeness(firstBytes) != Likeness::None;
    }
    file_ = std::move(file);
    readFailed_ = false;
    openedExisting_ = mode == UrlSetOpenMode::OpenExisting;
    return 1;
}

SetStorage::Creation SetStorage::CreateFile(File& file, const DestinationQuestions* questions) {
    // The location is only ever replaced whole, by Write; a destination in the way is
    // replaced only when the questions allow it.
    struct stat info {};
    const bool inTheWay = ::lstat(set_.location.c_str(), &info) == 0;
    // What a refusal says: a folder is never replaced by a file, a file is there already.
    createErrno_ = S_ISDIR(info.st_mode) ? EISDIR : EEXIST;
    const ReplaceDecision decision = !inTheWay   ? ReplaceDecision::Replace
                                     : questions ? questions->ReplaceExistingDestination(set_)
                                                 : ReplaceDecision::Refuse;
    if (decision == ReplaceDecision::Cancel) {
        openCanceled_ = true;
        return Creation::Stopped;
    }
    if (decision == ReplaceDecision::Failed) return Creation::Stopped;
    if (decision != ReplaceDecision::Replace) return Creation::NotOpened;
    const std::string target = ReplaceTarget();
    RemoveLeftoverTemporaries(AT_FDCWD, target);
    creating_ = std::make_unique<AtomicReplace>(AT_FDCWD, target, File::kNewFileMode);
    if (creating_->Open(file)) return Creation::Opened;
    createErrno_ = file.LastErrno();
    creating_.reset();
    return Creation::NotOpened;
}

int SetStorage::OpenFolder(UrlSetOpenMode mode, const DestinationQuestions* questions) {
    DIR* folder = ::opendir(set_.location.c_str());
    if (folder != nullptr) {
        ::closedir(folder);
        if (mode == UrlSetOpenMode::CreateNew && !(questions && questions->UseExistingDestinationFolder(set_)))
            return 0;
        return 1;
    }
    const int error = errno;
    if (mode == UrlSetOpenMode::CreateNew && error == ENOENT && questions &&
        questions->CreateMissingDestinationFolder(set_))
        return 1;
    set_.GetPrompter().ShowMessage(StorageFailureText(StorageStep::Open, error, set_.location),
                                   LoadString(IDS_CAPTION));
    return 0;
}

int SetStorage::Read(TextControl* statusText) {
    // A set is read only from a valid cursor (a new or cleared set); reading again without
    // Clear would append after nothing, so it is refused.
    if (set_.GetCursor() == nullptr) return 0;
    const FormatCodec* codec = Codec();
    if (codec == nullptr) return 0;
    set_.StartReading();
    int result = codec->read(*this, statusText);
    if (readFailed_) result = 0;
    // Nothing read from a file that shows nothing of its format: no bookmark file at all, which
    // would otherwise pass for an empty set.
    if (result != 0 && !showsFormat_ && !HoldsEntries(set_)) {
        set_.GetPrompter().ShowMessage(FormatString(IDS_SET_NOT_BOOKMARKS, {set_.location, FormatTitle(set_.format)}),
                                       LoadString(IDS_CAPTION));
        result = 0;
    }
    // A truncated file leaves folders open; they and the top level are closed, so that the
    // writers close what they open.
    set_.FinishReading(result != 0);
    return result != 0 ? 1 : 0;
}

int SetStorage::Write(TextControl* statusText) {
    // The writers walk the set with Next, which reports to statusText while it is set.
    set_.CountWalk(statusText);
    adaptedNames_ = 0;
    struct EndOfWrite {
        UrlSet& set;
        ~EndOfWrite() { set.CountWalk(nullptr); }
    } endOfWrite{set_};
    int result = WriteChecked();
    if (set_.RefillFailed()) result = 0;
    if (result && creating_) {
        if (!creating_->Commit()) {
            const int savedErrno = file_->LastErrno() ? file_->LastErrno() : errno;
            set_.ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {savedErrno, set_.location}));
            result = 0;
        }
        creating_.reset();
    }
    return result;
}

int SetStorage::WriteChecked() {
    // Rewriting a file that exists (a verification saving its set) goes through a temporary
    // file, so a crash or a full disk leaves the old content or the new, never a mixture.
    const FormatCodec* codec = Codec();
    const bool replacing = codec && codec->storage == FormatStorage::File && file_ && openedExisting_;
    // Saving back over the file a set was read from is refused for a format that is not
    // written there (the browser that owns it would lose it or undo it).
    if (openedExisting_ && file_ && !FormatWritesBack(set_.format)) {
        set_.ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {EPERM, set_.location}));
        return 0;
    }
    return replacing ? WriteReplacing() : WriteByFormat();
}

int SetStorage::WriteByFormat() {
    const FormatCodec* codec = Codec();
    return codec && codec->write ? codec->write(*this) : 0;
}

std::string SetStorage::ReplaceTarget() const {
    // Replace the file a symbolic link points to, so the link itself survives.
    std::error_code error;
    std::filesystem::path target = std::filesystem::canonical(set_.location, error);
    return error ? set_.location : target.string();
}

int SetStorage::CanWriteBack() {
    const FormatCodec* codec = Codec();
    if (!codec) return 0;
    std::unique_ptr<File> probe = MakeFile();
    if (codec->storage == FormatStorage::File) {
        if (!file_ || !file_->IsWritable()) {
            set_.ShowRunMessage(FormatString(IDS_SET_NOT_SAVED_READ_ONLY, {set_.location}));
            return 0;
        }
        // The save's own first step, undone at once: a temporary file beside the target.
        AtomicReplace replace(AT_FDCWD, ReplaceTarget());
        if (!replace.Open(*probe)) {
            set_.ShowRunMessage(StorageFailureText(StorageStep::SaveBack, probe->LastErrno(), set_.location));
            return 0;
        }
        return 1;
    }
    // A shortcut folder is saved file by file into it; one temporary shows that it takes files.
    AtomicReplace replace(AT_FDCWD, set_.location + "/write-check");
    if (!replace.Open(*probe)) {
        set_.ShowRunMessage(StorageFailureText(StorageStep::SaveBackFolder, probe->LastErrno(), set_.location));
        return 0;
    }
    return 1;
}

int SetStorage::WriteReplacing() {
    if (!file_->IsWritable()) {
        set_.ShowRunMessage(FormatString(IDS_SET_NOT_SAVED_READ_ONLY, {set_.location}));
        return 0;
    }
    std::unique_ptr<File> temporary = MakeFile();
    const std::string target = ReplaceTarget();
    RemoveLeftoverTemporaries(AT_FDCWD, target);
    AtomicReplace replace(AT_FDCWD, target);
    if (!replace.Open(*temporary)) {
        set_.ShowRunMessage(StorageFailureText(StorageStep::SaveBack, temporary->LastErrno(), set_.location));
        return 0;
    }

    std::unique_ptr<File> originalFile = std::move(file_);
    file_ = std::move(temporary);
    int result = WriteByFormat();
    if (result && !replace.Commit()) {
        int savedErrno = file_->LastErrno() ? file_->LastErrno() : errno;
        set_.ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {savedErrno, set_.location}));
        result = 0;
    }
    if (!result) {
        // The temporary goes with replace.
        file_->Close();
        file_ = std::move(originalFile);
        return 0;
    }
    // The set goes on with the new file, open as the temporary was.
    originalFile->Close();
    return result;
}

void SetStorage::CloseFile() {
    if (file_) file_->Close();
    file_.reset();
    creating_.reset();  // a new file never written is not left behind
}

int SetStorage::Close() {
    CloseFile();
    set_.Clear();
    return 1;
}

bool SetStorage::TakeRest(std::string_view& rest) {
    const FileImage* image = TakeImage(false);
    rest = image != nullptr ? image->Text() : std::string_view();
    return image != nullptr;
}

FileImage* SetStorage::TakeArriving() { return TakeImage(true); }

FileImage* SetStorage::TakeImage(bool mayArrive) {
    if (!file_ || readFailed_) return nullptr;
    // Entries by the ten thousand are then taken in large blocks from the start: the small first
    // blocks that keep a small set small cost a page fault per 4 KiB, hundreds in all.
    UrlEntry::ExpectMany(file_->Remaining() / kFileBytesPerEntry);
    auto lent = std::make_unique<LentImage>();
    FileImage& image = lent->Image();
    const bool begun = mayArrive && file_->Remaining() >= kArrivingFrom ? image.StartLoad(*file_)
                                                                         : image.Load({}, *file_);
    if (!begun) {
        readFailed_ = true;
        return nullptr;
    }
    set_.KeepLentText(std::move(lent));
    return &image;
}

bool SetStorage::EndArriving(FileImage& image) {
    if (!image.Finish()) readFailed_ = true;
    return !readFailed_;
}

}  // namespace tolva
