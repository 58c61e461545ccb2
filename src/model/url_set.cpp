#include "model/url_set.h"

#include <dirent.h>
#include <sys/mman.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <new>

#include "platform/atomic_replace.h"
#include "resources/strings.h"

namespace tolva {

namespace {

// Read-ahead block of ReadLine. Large blocks keep a big file to a few system calls.
constexpr std::size_t kReadBlock = 64 * 1024;

}  // namespace

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

// Memory for entries of exactly UrlEntry's size (a derived entry is allocated as usual).
// Blocks are taken from the system with their pages made ready at once, which costs far less
// than meeting each fresh page on first use: small ones first, so a small set stays small,
// then a few megabytes at a time in huge pages where the system allows. A freed entry's
// memory is reused by the next one. Entries are made and freed on more than one thread.
class EntryPool {
public:
    void* Allocate() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (free_ != nullptr) {
            FreeSlot* slot = free_;
            free_ = slot->next;
            return slot;
        }
        if (next_ == end_ && !AddBlock()) throw std::bad_alloc();
        void* entry = next_;
        next_ += kSlot;
        return entry;
    }

    void Release(void* entry) noexcept {
        std::lock_guard<std::mutex> lock(mutex_);
        auto* slot = static_cast<FreeSlot*>(entry);
        slot->next = free_;
        free_ = slot;
    }

private:
    struct FreeSlot {
        FreeSlot* next;
    };
    static constexpr std::size_t kSlot = (sizeof(UrlEntry) + alignof(UrlEntry) - 1) / alignof(UrlEntry) * alignof(UrlEntry);
    static constexpr std::size_t kSmallPage = 4096;
    static constexpr std::size_t kHugePage = 2 * 1024 * 1024;
    static constexpr std::size_t kFirstBlock = 64 * 1024;
    static constexpr std::size_t kLargestBlock = 2 * kHugePage;

    bool AddBlock() {
        const std::size_t size = blockSize_;
        const bool huge = size >= kHugePage;
        // A huge page must start on its own boundary: one more is mapped, and what lies
        // outside the aligned block is given back.
        const std::size_t slack = huge ? kHugePage : 0;
        void* mapped = ::mmap(nullptr, size + slack, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapped == MAP_FAILED) return false;
        char* block = static_cast<char*>(mapped);
        if (huge) {
            const std::size_t skip = (kHugePage - reinterpret_cast<std::uintptr_t>(block) % kHugePage) % kHugePage;
            if (skip > 0) ::munmap(block, skip);
            ::munmap(block + skip + size, kHugePage - skip);
            block += skip;
            ::madvise(block, size, MADV_HUGEPAGE);
        }
        bool ready = false;
#ifdef MADV_POPULATE_WRITE
        ready = ::madvise(block, size, MADV_POPULATE_WRITE) == 0;
#endif
        // Without it (kernels before 5.14) one touch per page makes them ready as well.
        for (std::size_t at = 0; !ready && at < size; at += kSmallPage) block[at] = 0;
        next_ = block;
        end_ = block + size / kSlot * kSlot;
        blockSize_ = std::min(size * 2, kLargestBlock);
        return true;
    }

    std::mutex mutex_;
    std::size_t blockSize_ = kFirstBlock;
    FreeSlot* free_ = nullptr;
    char* next_ = nullptr;
    char* end_ = nullptr;
};

EntryPool& Pool() {
    static auto* pool = new EntryPool;  // never destroyed: entries may outlive static objects
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
    if (kind != Link || target == nullptr || target == this) return nullptr;
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

int UrlSet::Open(UrlSetOpenMode mode, std::int32_t setFormat, const std::string& setLocation) {
    format = setFormat;
    location = setLocation;
    linkCount = 0;
    folderCount = 0;
    currentFlags = 0;
    switch (format) {
        case Mosaic:
        case Netscape:
            return OpenFile(mode);
        case Shortcuts:
            return OpenFolder(mode);
        default:
            return 0;
    }
}

int UrlSet::OpenFile(UrlSetOpenMode mode) {
    CloseFile();
    std::unique_ptr<File> file = fileFactory_ ? fileFactory_() : std::make_unique<File>();
    bool opened = mode == CreateNew ? file->CreateNew(location) : file->OpenExisting(location);
    if (!opened && mode == CreateNew && file->LastError() == File::kErrorFileExists) {
        opened = ReplaceExistingDestination(*file);
    }
    if (!opened) {
        int message = mode == CreateNew ? IDS_SET_EXISTS : IDS_SET_NOT_FOUND;
        prompter_->ShowMessage(FormatString(message, {location}), LoadString(IDS_CAPTION));
        return 0;
    }
    file_ = std::move(file);
    buffer_.clear();
    bufferPos_ = 0;
    endOfFile_ = false;
    readFailed_ = false;
    openedExisting_ = mode == OpenExisting;
    lineTerminator = DetectLineTerminator();
    return 1;
}

int UrlSet::OpenFolder(UrlSetOpenMode mode) {
    DIR* folder = ::opendir(location.c_str());
    if (folder != nullptr) {
        ::closedir(folder);
        if (mode == CreateNew && !UseExistingDestinationFolder()) return 0;
        return 1;
    }
    bool pathNotFound = errno == ENOENT;
    if (mode == CreateNew && pathNotFound && CreateMissingDestinationFolder()) return 1;
    prompter_->ShowMessage(FormatString(IDS_SET_NOT_FOUND, {location}), LoadString(IDS_CAPTION));
    return 0;
}

// The destination's questions (ReplaceExistingDestination, UseExistingDestinationFolder,
// CreateMissingDestinationFolder) belong to the translation: translate/destination.cpp.

std::string UrlSet::DetectLineTerminator() {
    std::string examined;
    if (!file_ || !file_->Seek(0)) return {};
    // Usually the first block decides. A file whose first line is longer than a block
    // is read on until a line break shows, so it is not taken for one without any.
    char block[kReadLineLimit];
    for (;;) {
        long got = file_->Read(block, sizeof block);
        if (got <= 0) break;
        std::string_view text(block, static_cast<std::size_t>(got));
        std::size_t zero = text.find('\0');
        bool cut = zero != std::string_view::npos;
        if (cut) text = text.substr(0, zero);
        examined.append(text);
        if (cut || examined.find_first_of("\r\n") != std::string::npos) break;
    }
    // A CR at the end of what was read may be the first half of a CRLF.
    if (!examined.empty() && examined.back() == '\r') {
        char following = 0;
        if (file_->Read(&following, 1) == 1 && following == '\n') examined += '\n';
    }
    file_->Seek(0);
    if (examined.find("\r\n") != std::string::npos) return "\r\n";
    if (examined.find('\n') != std::string::npos) return "\n";
    if (examined.find('\r') != std::string::npos) return "\r";
    return {};
}

int UrlSet::Read(TextControl* statusText) {
    // A set is read only from a valid cursor (a new or cleared set); reading again without
    // Clear would append after nothing, so it is refused.
    if (cursor == nullptr) return 0;
    lastAppended_ = cursor;
    appendDepth_ = 0;
    int result;
    switch (format) {
        case Mosaic:
            result = ReadMosaic(statusText);
            break;
        case Netscape:
            result = ReadNetscape(statusText);
            break;
        case Shortcuts:
            result = ReadShortcuts(statusText);
            break;
        default:
            return 0;
    }
    std::string changedPath;
    if (!TextIntact(changedPath)) readFailed_ = true;
    if (readFailed_) result = 0;
    if (result == 0) return 0;

    // A truncated file leaves folders open. Close them and the top level, so that every set
    // read ends with one more FolderEnd than it has folders and the writers close what they
    // open. Append kept count, so the new entries need no second walk.
    UrlEntry* last = lastAppended_;
    for (int depth = appendDepth_; depth >= 0; --depth) last = last->InsertAfter(new UrlEntry(FolderEnd, {}));
    cursor = nullptr;
    return 1;
}

int UrlSet::Write() {
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
    int result = (format == Mosaic || format == Netscape) && file_ && openedExisting_ ? WriteReplacing() : WriteByFormat();
    if (result && !TextIntact(changedPath)) return refuseChanged();
    return result;
}

int UrlSet::WriteByFormat() {
    switch (format) {
        case Mosaic:
            return WriteMosaic();
        case Netscape:
            return WriteNetscape();
        case Shortcuts:
            return WriteShortcuts();
        default:
            return 0;
    }
}

int UrlSet::WriteReplacing() {
    namespace fs = std::filesystem;
    if (!file_->IsWritable()) {
        ShowRunMessage(FormatString(IDS_ERR_SAVING_FILE, {EACCES, location}));
        return 0;
    }
    // Replace the file a symbolic link points to, so the link itself survives.
    std::error_code error;
    fs::path target = fs::canonical(location, error);
    if (error) target = location;

    std::unique_ptr<File> temporary = fileFactory_ ? fileFactory_() : std::make_unique<File>();
    AtomicReplace replace(AT_FDCWD, target.string());
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
    buffer_.clear();
    bufferPos_ = 0;
    endOfFile_ = false;
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
    Rewind();
}

void UrlSet::Rewind() {
    cursor = &root;
    currentPath.clear();
}

UrlEntry* UrlSet::Next() {
    if (cursor == nullptr) return nullptr;
    cursor = cursor->next;
    if (cursor == nullptr) return nullptr;
    if (cursor->kind == FolderStart) {
        currentPath += '\\';
        currentPath += cursor->name;
    } else if (cursor->kind == FolderEnd) {
        std::size_t slash = currentPath.rfind('\\');
        currentPath.erase(slash == std::string::npos ? 0 : slash);
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
        if (entry->kind == FolderStart) {
            running += '\\';
            running += entry->name;
        } else if (entry->kind == FolderEnd) {
            std::size_t slash = running.rfind('\\');
            running.erase(slash == std::string::npos ? 0 : slash);
        }
        if (running == target) return entry;
    }
    return nullptr;
}

bool UrlSet::FillBuffer() {
    if (!file_ || endOfFile_ || readFailed_) return false;
    if (bufferPos_ > 0) {
        buffer_.erase(0, bufferPos_);
        bufferPos_ = 0;
    }
    std::size_t had = buffer_.size();
    buffer_.resize(had + kReadBlock);
    long got = file_->Read(buffer_.data() + had, kReadBlock);
    buffer_.resize(had + static_cast<std::size_t>(got > 0 ? got : 0));
    if (got < 0) {
        readFailed_ = true;
        return false;
    }
    if (got == 0) {
        endOfFile_ = true;
        return false;
    }
    return true;
}

int UrlSet::ReadLine(std::string& out, bool* complete) {
    out.clear();
    if (complete) *complete = true;
    // Enough bytes to hold a full piece and the terminator that may follow it.
    while (buffer_.size() - bufferPos_ < kReadLineLimit + 2 && FillBuffer()) {
    }
    if (readFailed_) return 0;
    const std::size_t available = buffer_.size() - bufferPos_;
    if (available == 0) return 0;

    const char* bytes = buffer_.data() + bufferPos_;
    const std::size_t limit = available < kReadLineLimit ? available : kReadLineLimit;
    // The line ends at the first CR, LF or zero byte. memchr scans many bytes at a time,
    // which matters for big files; each later search only looks before the end found so far.
    std::size_t n = limit;
    for (char end : {'\n', '\r', '\0'}) {
        if (const void* found = std::memchr(bytes, end, n))
            n = static_cast<std::size_t>(static_cast<const char*>(found) - bytes);
    }
    out.assign(bytes, n);

    // A line ends at CR, LF or CRLF whatever the file's own terminator, so mixed line ends
    // never leave a CR in a line or cost the next line a byte. A zero byte ends a line too
    // and is skipped, so it can never stall the reader.
    std::size_t consumed = n;
    bool ended = true;
    if (n < available) {
        char c = bytes[n];
        if (c == '\r') {
            consumed += (n + 1 < available && bytes[n + 1] == '\n') ? 2 : 1;
        } else if (c == '\n' || c == '\0') {
            consumed += 1;
        } else {
            ended = false;  // a piece of a line longer than the limit
        }
    }
    bufferPos_ += consumed;
    if (complete) *complete = ended;
    return 1;
}

bool UrlSet::TakeRest(std::string_view& rest) {
    rest = {};
    if (!file_ || readFailed_) return false;
    FileImage image;
    const std::string_view pending = std::string_view(buffer_).substr(bufferPos_);
    // Only a file nothing was read from yet is mapped: the mapping starts at its start.
    const bool mapped = readInPlace_ && !fileFactory_ && pending.empty() && !endOfFile_ && file_->Position() == 0 &&
                        image.Map(file_->Descriptor(), file_->Path());
    const bool loaded = mapped || image.Load(pending, *file_);
    buffer_.clear();
    bufferPos_ = 0;
    endOfFile_ = true;
    if (!loaded) {
        readFailed_ = true;
        return false;
    }
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
    cursor = cursor->InsertAfter(entry);
    lastAppended_ = entry;
    if (entry->kind == FolderStart) ++appendDepth_;
    if (entry->kind == FolderEnd) --appendDepth_;
}

void UrlSet::ShowRunMessage(const std::string& text) const {
    prompter_->ShowMessage(text, LoadString(IDS_MSG_CAPTION_RUN));
}

}  // namespace tolva
