#include "platform/atomic_replace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/descriptor.h"

namespace tolva {

namespace {

// Names tried for the temporary before giving up, when earlier ones are taken.
constexpr int kTemporaryNameAttempts = 100;
// The temporary is private while it is written; Commit gives it the target's permissions.
constexpr mode_t kTemporaryMode = 0600;

// Where the folder part of name ends: the index of its last slash, or npos.
std::size_t FolderEnd(const std::string& name) { return name.rfind('/'); }

}  // namespace

AtomicReplace::AtomicReplace(int folder, std::string name) : folder_(folder), name_(std::move(name)) {}

AtomicReplace::~AtomicReplace() { Abandon(); }

bool AtomicReplace::Open(File& file) {
    Abandon();
    struct stat info {};
    // Through a symbolic link: a link's own bits (0777) are never what the file should get.
    haveMode_ = ::fstatat(folder_, name_.c_str(), &info, 0) == 0;
    mode_ = info.st_mode & 07777;

    const std::size_t slash = FolderEnd(name_);
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        // A name no reader takes for a member of a set: hidden, and never ending in ".url".
        std::string candidate = name_.substr(0, base) + "." + name_.substr(base) + ".tolva-" +
                                std::to_string(::getpid()) + "-" + std::to_string(attempt);
        if (file.CreateNewAt(folder_, candidate, kTemporaryMode)) {
            temporary_ = std::move(candidate);
            file_ = &file;
            return true;
        }
        if (file.LastError() != File::kErrorFileExists) break;
    }
    return false;
}

bool AtomicReplace::Commit() {
    if (temporary_.empty() || file_ == nullptr || !file_->IsOpen()) {
        errno = EBADF;
        return false;
    }
    bool replaced = true;
    if (haveMode_ && ::fchmod(file_->Descriptor(), mode_) != 0) {
        replaced = false;
    } else if (!file_->Flush()) {
        errno = file_->LastErrno();
        replaced = false;
    } else if (::renameat(folder_, temporary_.c_str(), folder_, name_.c_str()) != 0) {
        replaced = false;
    }
    if (!replaced) {
        const int saved = errno;
        Abandon();
        errno = saved;
        return false;
    }
    temporary_.clear();
    file_ = nullptr;

    // Make the rename itself durable. Failing here loses nothing the rename has not done.
    const std::size_t slash = FolderEnd(name_);
    if (slash == std::string::npos && folder_ != AT_FDCWD) {
        ::fsync(folder_);
    } else {
        const std::string folderName = slash == std::string::npos ? "." : slash == 0 ? "/" : name_.substr(0, slash);
        Descriptor folder(::openat(folder_, folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.Valid()) ::fsync(folder.Get());
    }
    return true;
}

void AtomicReplace::Abandon() {
    if (!temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
    file_ = nullptr;
}

bool ReplaceFile(int folder, const std::string& name, std::string_view bytes) {
    File file;
    AtomicReplace replace(folder, name);
    if (replace.Open(file) && file.Write(bytes.data(), bytes.size())) return replace.Commit();
    replace.Abandon();
    errno = file.LastErrno();
    return false;
}

}  // namespace tolva
