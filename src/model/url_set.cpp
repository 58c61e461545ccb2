#include "model/url_set.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "model/entry_pool.h"
#include "model/format_codec.h"
#include "platform/atomic_replace.h"
#include "resources/strings.h"

namespace tolva {

// ---------------------------------------------------------------------------------------
// UrlEntry

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define TOLVA_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TOLVA_ADDRESS_SANITIZER 1
#endif
#endif
#ifdef TOLVA_ADDRESS_SANITIZER
constexpr bool kPoolEntries = false;  // each entry its own allocation, so misuse is caught
#else
constexpr bool kPoolEntries = true;
#endif

// Memory for entries of exactly UrlEntry's size; a derived entry is allocated as usual.
EntryPool& Pool() {
    // Never destroyed: entries may outlive static objects.
    static auto* pool = new EntryPool(sizeof(UrlEntry), alignof(UrlEntry));
    return *pool;
}

}  // namespace

void* UrlEntry::operator new(std::size_t size) {
    if (!kPoolEntries || size != sizeof(UrlEntry)) return ::operator new(size);
    return Pool().Allocate();
}

void UrlEntry::operator delete(void* entry, std::size_t size) noexcept {
    if (entry == nullptr) return;
    if (!kPoolEntries || size != sizeof(UrlEntry)) {
        ::operator delete(entry);
        return;
    }
    Pool().Release(entry);
}

UrlEntry* UrlEntry::InsertAfter(UrlEntry* entry) {
    entry->next = next;
    entry->prev = this;
    if (next) next->prev = entry;
    next = entry;
    return entry;
}

UrlEntry* UrlEntry::MoveAfter(UrlEntry* target) {
    if (kind != UrlEntryKind::Link || target == nullptr || target == this) return nullptr;
    UrlEntry* formerPrev = prev;
    if (prev) prev->next = next;
    if (next) next->prev = prev;
    next = nullptr;
    prev = nullptr;
    target->InsertAfter(this);
    return formerPrev;
}

void UrlEntry::Rename(std::string_view newName, std::int32_t extraFlags) {
    // newName may be this entry's own text; the new name is copied before the old one moves.
    EntryText renamed(newName);
    preservedName = std::move(name);
    name = std::move(renamed);
    flags |= extraFlags | NamePreserved;
}

void UrlEntry::SetPreservedLocation(std::string_view path, std::int32_t extraFlags) {
    preservedLocation = path;
    flags |= extraFlags | LocationPreserved;
}

// ---------------------------------------------------------------------------------------
// UrlSet

UrlSet::UrlSet() = default;

UrlSet::~UrlSet() {
    CloseFile();
    Clear();
}

int UrlSet::Open(UrlSetOpenMode mode, UrlSetFormat setFormat, const std::string& setLocation,
                 const DestinationQuestions* questions) {
    format = setFormat;
    location = setLocation;
    linkCount = 0;
    folderCount = 0;
    currentFlags = 0;
    openCanceled_ = false;
    const FormatCodec* codec = CodecFor(format);
    if (codec == nullptr) return 0;
    if (mode == UrlSetOpenMode::CreateNew && codec->writing == FormatWriting::Never) return 0;
    // A format written to new files only never replaces a file in the way: the question of
    // replacing it is not asked, and Open refuses it.
    if (codec->writing == FormatWriting::NewFileOnly) questions = nullptr;
    return codec->storage == FormatStorage::File ? OpenFile(mode, questions, codec->writing != FormatWriting::Never)
                                                 : OpenFolder(mode, questions);
}

int UrlSet::OpenFile(UrlSetOpenMode mode, const DestinationQuestions* questions, bool writable) {
    CloseFile();
    std::unique_ptr<File> file = fileFactory_ ? fileFactory_() : std::make_unique<File>();
    bool opened = false;
    if (mode == UrlSetOpenMode::CreateNew) {
        // The location is only ever replaced whole, by Write; a destination in the way is
        // replaced only when the questions allow it.
        struct stat info {};
        const bool inTheWay = ::lstat(location.c_str(), &info) == 0;
        const ReplaceDecision decision = !inTheWay   ? ReplaceDecision::Replace
                                         : questions ? questions->ReplaceExistingDestination(*this)
                                                     : ReplaceDecision::Refuse;
        if (decision == ReplaceDecision::Cancel) {
            openCanceled_ = true;
            return 0;
        }
        if (decision == ReplaceDecision::Failed) return 0;
        if (decision == ReplaceDecision::Replace) {
            const std::string target = ReplaceTarget();
            RemoveLeftoverTemporaries(AT_FDCWD, target);
            creating_ = std::make_unique<AtomicReplace>(AT_FDCWD, target, File::kNewFileMode);
            opened = creating_->Open(*file);
            if (!opened) creating_.reset();
        }
    } else {
        opened = writable ? file->OpenExisting(location) : file->OpenReadOnly(location);
    }
    if (!opened) {
        int message = mode == UrlSetOpenMode::CreateNew ? IDS_SET_EXISTS : IDS_SET_NOT_FOUND;
        prompter_->ShowMessage(FormatString(message, {location}), LoadString(IDS_CAPTION));
        return 0;
    }
    file_ = std::move(file);
    lines_.Start();
    openedExisting_ = mode == UrlSetOpenMode::OpenExisting;
    lineTerminator = DetectLineTerminator();
    return 1;
}

int UrlSet::OpenFolder(UrlSetOpenMode mode, const DestinationQuestions* questions) {
    DIR* folder = ::opendir(location.c_str());
    if (folder != nullptr) {
        ::closedir(folder);
        if (mode == UrlSetOpenMode::CreateNew && !(questions && questions->UseExistingDestinationFolder(*this)))
            return 0;
        return 1;
    }
    bool pathNotFound = errno == ENOENT;
    if (mode == UrlSetOpenMode::CreateNew && pathNotFound && questions &&
        questions->CreateMissingDestinationFolder(*this))
        return 1;
    prompter_->ShowMessage(FormatString(IDS_SET_NOT_FOUND, {location}), LoadString(IDS_CAPTION));
    return 0;
}

int UrlSet::Read(TextControl* statusText) {
    // A set is read only from a valid cursor (a new or cleared set); reading again without
    // Clear would append after nothing, so it is refused.
    if (cursor == nullptr) return 0;
    lastAppended_ = cursor;
    appendDepth_ = 0;
    const FormatCodec* codec = CodecFor(format);
    if (codec == nullptr) return 0;
    reading_ = true;
    int result = codec->read(*this, statusText);
    reading_ = false;
    std::string changedPath;
    if (!TextIntact(changedPath)) lines_.MarkFailed();
    if (lines_.ReadFailed()) result = 0;
    if (result == 0) return 0;

    // A truncated file leaves folders open. Close them and the top level, so that every set
    // read ends with one more FolderEnd than it has folders and the writers close what they
    // open. Append kept count, so the new entries need no second walk.
    CloseOpenFolders();
    cursor = nullptr;
    return 1;
}

void UrlSet::CloseOpenFolders() {
    UrlEntry* last = lastAppended_;
    for (int depth = appendDepth_; depth >= 0; --depth)
        last = last->InsertAfter(new UrlEntry(UrlEntryKind::FolderEnd, {}));
    lastAppended_ = last;
    appendDepth_ = -1;
}

void UrlSet::Stream(SetStream* stream) {
    stream_ = stream;
    streamFailed_ = false;
    lastAppended_ = cursor = &root;
    appendDepth_ = 0;
}

void UrlSet::Refill() {
    // The writer is done with every entry Next has given it: only the next one is looked at.
    UrlEntry* walked = root.next;
    root.next = nullptr;
    while (walked != nullptr) {
        UrlEntry* following = walked->next;
        if (!keptMarkup_.empty()) keptMarkup_.erase(walked);
        delete walked;
        walked = following;
    }
    lastAppended_ = cursor = &root;
    int more = 1;
    reading_ = true;
    while (more > 0 && root.next == nullptr) more = stream_->More(*this);
    reading_ = false;
    if (more < 0) streamFailed_ = true;
    if (more <= 0) {
        if (!streamFailed_) CloseOpenFolders();
        stream_ = nullptr;
    }
    cursor = &root;
}

int UrlSet::Write(TextControl* statusText) {
    // The writers walk the set with Next, which reports to writeStatus_ while it is set.
    writeStatus_ = statusText;
    if (statusText != nullptr) savingText_ = CounterText(LoadString(IDS_STATUS_SAVING_ITEM));
    struct EndOfWrite {
        TextControl*& status;
        ~EndOfWrite() { status = nullptr; }
    } endOfWrite{writeStatus_};
    // Text borrowed from a file that another program has changed since may be anything;
    // nothing of it is saved. The check is made again after writing, for a change meanwhile.
    std::string changedPath;
    auto refuseChanged = [&] {
        ShowRunMessage(FormatString(IDS_ERR_READING_FILE, {ESTALE, changedPath}));
        return 0;
    };
    if (!TextIntact(changedPath)) return refuseChanged();
    // Rewriting a file that exists (a verification saving its set) goes through a temporary
    // file, so a crash or a full disk leaves the old content or the new, never a mixture.
    const FormatCodec* codec = CodecFor(format);
    const bool replacing = codec && codec->storage == FormatStorage::File && file_ && openedExisting_;
    // Saving back over the file a set was read from is refused for a format that is not
    // written there (the browser that owns it would lose it or undo it).
    if (openedExisting_ && file_ && !FormatWritesBack(format)) {
        ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {EPERM, location}));
        return 0;
    }
    int result = replacing ? WriteReplacing() : WriteByFormat();
    if (streamFailed_) result = 0;
    if (result && !TextIntact(changedPath)) return refuseChanged();
    if (result && creating_) {
        if (!creating_->Commit()) {
            const int savedErrno = file_->LastErrno() ? file_->LastErrno() : errno;
            ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {savedErrno, location}));
            result = 0;
        }
        creating_.reset();
    }
    return result;
}

int UrlSet::WriteByFormat() {
    const FormatCodec* codec = CodecFor(format);
    return codec && codec->write ? codec->write(*this) : 0;
}

std::string UrlSet::ReplaceTarget() const {
    // Replace the file a symbolic link points to, so the link itself survives.
    std::error_code error;
    std::filesystem::path target = std::filesystem::canonical(location, error);
    return error ? location : target.string();
}

int UrlSet::CanWriteBack() {
    const FormatCodec* codec = CodecFor(format);
    if (!codec) return 0;
    std::unique_ptr<File> probe = fileFactory_ ? fileFactory_() : std::make_unique<File>();
    if (codec->storage == FormatStorage::File) {
        if (!file_ || !file_->IsWritable()) {
            ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {EACCES, location}));
            return 0;
        }
        // The save's own first step, undone at once: a temporary file beside the target.
        AtomicReplace replace(AT_FDCWD, ReplaceTarget());
        if (!replace.Open(*probe)) {
            ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {probe->LastErrno(), location}));
            return 0;
        }
        return 1;
    }
    // A shortcut folder is saved file by file into it; one temporary shows that it takes files.
    AtomicReplace replace(AT_FDCWD, location + "/write-check");
    if (!replace.Open(*probe)) {
        ShowRunMessage(FormatString(IDS_ERR_WRITING_SHORTCUT, {probe->LastErrno(), location}));
        return 0;
    }
    return 1;
}

int UrlSet::WriteReplacing() {
    if (!file_->IsWritable()) {
        ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {EACCES, location}));
        return 0;
    }
    std::unique_ptr<File> temporary = fileFactory_ ? fileFactory_() : std::make_unique<File>();
    const std::string target = ReplaceTarget();
    RemoveLeftoverTemporaries(AT_FDCWD, target);
    AtomicReplace replace(AT_FDCWD, target);
    if (!replace.Open(*temporary)) {
        ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {temporary->LastErrno(), location}));
        return 0;
    }

    std::unique_ptr<File> originalFile = std::move(file_);
    file_ = std::move(temporary);
    int result = WriteByFormat();
    if (result && !replace.Commit()) {
        int savedErrno = file_->LastErrno() ? file_->LastErrno() : errno;
        ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {savedErrno, location}));
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

void UrlSet::CloseFile() {
    if (file_) file_->Close();
    file_.reset();
    creating_.reset();  // a new file never written is not left behind
    lines_.Stop();
}

int UrlSet::Close() {
    CloseFile();
    Clear();
    return 1;
}

void UrlSet::Clear() {
    UrlEntry* entry = root.next;
    while (entry) {
        UrlEntry* following = entry->next;
        delete entry;
        entry = following;
    }
    root.next = nullptr;
    images_.clear();
    keptMarkup_.clear();
    stream_ = nullptr;
    heading.clear();
    charset.clear();
    Rewind();
}

void UrlSet::KeepMarkup(const UrlEntry* entry, std::string markup) {
    if (markup.empty()) {
        keptMarkup_.erase(entry);
    } else {
        keptMarkup_[entry] = std::move(markup);
    }
}

const std::string* UrlSet::KeptMarkup(const UrlEntry* entry) const {
    auto found = keptMarkup_.find(entry);
    return found == keptMarkup_.end() ? nullptr : &found->second;
}

void UrlSet::Rewind() {
    cursor = &root;
    currentPath.clear();
}

UrlEntry* UrlSet::Next() {
    if (cursor == nullptr) return nullptr;
    if (cursor->next == nullptr && stream_ != nullptr) Refill();
    cursor = cursor->next;
    if (cursor == nullptr) return nullptr;
    if (cursor->kind == UrlEntryKind::FolderStart) {
        currentPath += '\\';
        currentPath += cursor->name;
    } else if (cursor->kind == UrlEntryKind::FolderEnd) {
        std::size_t slash = currentPath.rfind('\\');
        currentPath.erase(slash == std::string::npos ? 0 : slash);
    }
    if (writeStatus_ != nullptr && cursor->kind != UrlEntryKind::FolderEnd) {
        writeStatus_->SetText(savingText_.Advance());
    }
    return cursor;
}

std::string UrlSet::GetFolderPath(const UrlEntry* entry) const {
    (void)entry;
    return currentPath;
}

UrlEntry* UrlSet::FindFolder(const std::string& path) {
    const std::string target = path == "\\" ? std::string() : path;
    std::string running;
    for (UrlEntry* entry = &root; entry; entry = entry->next) {
        if (entry->kind == UrlEntryKind::FolderStart) {
            running += '\\';
            running += entry->name;
        } else if (entry->kind == UrlEntryKind::FolderEnd) {
            std::size_t slash = running.rfind('\\');
            running.erase(slash == std::string::npos ? 0 : slash);
        }
        if (running == target) return entry;
    }
    return nullptr;
}

bool UrlSet::TakeRest(std::string_view& rest) {
    rest = {};
    FileImage image;
    // Files made by a factory are always read through it, never mapped.
    if (!lines_.TakeRest(file_.get(), readInPlace_ && !fileFactory_, image)) return false;
    rest = image.Text();
    images_.push_back(std::move(image));
    return true;
}

bool UrlSet::TextIntact(std::string& changedPath) const {
    for (const FileImage& image : images_) {
        if (!image.Intact()) {
            changedPath = image.Path();
            return false;
        }
    }
    return true;
}

void UrlSet::Append(UrlEntry* entry) {
    // A list end that closes nothing ("}" or "</DL>" once too often, the top level's own end)
    // is dropped while a file is read: Read closes the top level after the last entry, so
    // every set read is balanced, and nothing after a stray end falls outside the set.
    if (reading_ && entry->kind == UrlEntryKind::FolderEnd && appendDepth_ == 0) {
        delete entry;
        return;
    }
    cursor = cursor->InsertAfter(entry);
    lastAppended_ = entry;
    if (entry->kind == UrlEntryKind::FolderStart) ++appendDepth_;
    if (entry->kind == UrlEntryKind::FolderEnd) --appendDepth_;
}

void UrlSet::ShowRunMessage(const std::string& text) const {
    prompter_->ShowMessage(text, LoadString(IDS_MSG_CAPTION_RUN));
}

}  // namespace tolva
