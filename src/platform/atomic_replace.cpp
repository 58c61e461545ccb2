#include "platform/atomic_replace.h"

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/descriptor.h"
#include "platform/process.h"

namespace tolva {

namespace {

// Names tried for the temporary before giving up, when earlier ones are taken.
constexpr int kTemporaryNameAttempts = 100;
// A replacement is private while it is written; Commit gives it the target's permissions.
constexpr mode_t kTemporaryMode = 0600;
constexpr std::string_view kTemporaryTag = ".tolva-";
// A process number has at most this many digits (Linux's limit is 4194304).
constexpr std::size_t kMaxProcessDigits = 9;

// Where the folder part of name ends: the index of its last slash, or npos.
std::size_t FolderEnd(const std::string& name) { return name.rfind('/'); }

// The folder part of name, as openat takes it.
std::string FolderOf(const std::string& name) {
    const std::size_t slash = FolderEnd(name);
    return slash == std::string::npos ? "." : slash == 0 ? "/" : name.substr(0, slash);
}

// The last part of name.
std::string_view BaseOf(const std::string& name) {
    const std::size_t slash = FolderEnd(name);
    return slash == std::string::npos ? std::string_view(name) : std::string_view(name).substr(slash + 1);
}

// The longest file name the file systems we write to take, and the most that the dot, the tag,
// a process number and an attempt number add to a name.
constexpr std::size_t kNameMax = 255;
constexpr std::size_t kTemporaryExtra = 1 + kTemporaryTag.size() + 10 + 1 + 2;

// What the temporaries for a file named base begin with: ".base.tolva-", base cut short where
// the whole would not fit in a file name (a name already as long as names go).
std::string TemporaryPrefix(std::string_view base) {
    return "." + std::string(base.substr(0, kNameMax - kTemporaryExtra)) + std::string(kTemporaryTag);
}

// The attempt-th temporary name for name, with its folder part.
std::string TemporaryFor(const std::string& name, int attempt) {
    const std::size_t slash = FolderEnd(name);
    const std::string folder = slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
    return folder + TemporaryPrefix(BaseOf(name)) + std::to_string(::getpid()) + "-" + std::to_string(attempt);
}

bool AllDigits(std::string_view text) {
    return !text.empty() && text.size() <= kMaxProcessDigits &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The process that made the temporary entry (".NAME.tolva-PID-N"), or 0 for any other name.
pid_t MakerOf(std::string_view entry) {
    if (entry.size() < 2 || entry[0] != '.') return 0;
    const std::size_t tag = entry.rfind(kTemporaryTag);
    if (tag == std::string_view::npos || tag < 2) return 0;
    const std::string_view rest = entry.substr(tag + kTemporaryTag.size());
    const std::size_t dash = rest.find('-');
    if (dash == std::string_view::npos || !AllDigits(rest.substr(0, dash)) || !AllDigits(rest.substr(dash + 1))) {
        return 0;
    }
    return static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash))));
}

// Writes bytes into the existing file name from its start, as into a device.
bool WriteInPlace(int folder, const std::string& name, std::string_view bytes) {
    // Not blocking on the open: a pipe that nobody reads is refused (ENXIO) rather than waited on.
    Descriptor target(::openat(folder, name.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!target.Valid()) return false;
    const int flags = ::fcntl(target.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(target.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(target.Get(), bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = EIO;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return target.Close();
}

}  // namespace

AtomicReplace::AtomicReplace(int folder, std::string name, mode_t newFileMode)
    : folder_(folder), name_(std::move(name)), newFileMode_(newFileMode) {}

AtomicReplace::~AtomicReplace() { Abandon(); }

bool AtomicReplace::Open(File& file) {
    Abandon();
    struct stat info {};
    // Through a symbolic link: a link's own bits (0777) are never what the file should get.
    haveMode_ = ::fstatat(folder_, name_.c_str(), &info, 0) == 0;
    mode_ = info.st_mode & 07777;

    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        std::string candidate = TemporaryFor(name_, attempt);
        // A new file is made as it will stay, so the umask applies to it as to any other.
        if (file.CreateNewAt(folder_, candidate, haveMode_ ? kTemporaryMode : newFileMode_)) {
            temporary_ = std::move(candidate);
            file_ = &file;
            // It will be forced to the disk before it replaces the old file.
            if (haveMode_) file.WriteBackEarly();
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
    } else if (haveMode_ && !file_->Flush()) {
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
    if (!haveMode_) return true;
    if (FolderEnd(name_) == std::string::npos && folder_ != AT_FDCWD) {
        ::fsync(folder_);
    } else {
        Descriptor folder(::openat(folder_, FolderOf(name_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (folder.Valid()) ::fsync(folder.Get());
    }
    return true;
}

void AtomicReplace::Abandon() {
    if (!temporary_.empty()) ::unlinkat(folder_, temporary_.c_str(), 0);
    temporary_.clear();
    file_ = nullptr;
}

bool ReplaceFile(int folder, const std::string& name, std::string_view bytes, mode_t newFileMode) {
    struct stat info {};
    // A device node or a pipe is written to, never replaced: a rename would put a regular file
    // where /dev/null was.
    if (::fstatat(folder, name.c_str(), &info, 0) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) {
        return WriteInPlace(folder, name, bytes);
    }
    File file;
    AtomicReplace replace(folder, name, newFileMode);
    if (replace.Open(file) && file.Write(bytes.data(), bytes.size())) return replace.Commit();
    replace.Abandon();
    errno = file.LastErrno();
    return false;
}

void RemoveLeftoverTemporaries(int folder, const std::string& name) {
    const std::string prefix = name.empty() ? std::string() : TemporaryPrefix(BaseOf(name));
    Descriptor opened(
        ::openat(folder, name.empty() ? "." : FolderOf(name).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!opened.Valid()) return;
    // The listing gets a descriptor of its own: closedir closes it.
    const int listed = ::dup(opened.Get());
    DIR* entries = listed >= 0 ? ::fdopendir(listed) : nullptr;
    if (entries == nullptr) {
        if (listed >= 0) ::close(listed);
        return;
    }
    while (const dirent* entry = ::readdir(entries)) {
        const std::string_view entryName = entry->d_name;
        if (!entryName.starts_with(prefix)) continue;
        // Only the bare tag may follow the prefix: ".a.tolva-1-0" is not a leftover of "a.tolva-1".
        const pid_t maker = MakerOf(entryName);
        if (maker <= 0 || (!prefix.empty() && entryName.rfind(kTemporaryTag) + kTemporaryTag.size() != prefix.size()))
            continue;
        if (!ProcessHasEnded(maker)) continue;
        struct stat info {};
        if (::fstatat(opened.Get(), entry->d_name, &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(info.st_mode)) {
            ::unlinkat(opened.Get(), entry->d_name, 0);
        }
    }
    ::closedir(entries);
}

bool KeepCopy(const std::string& from, const std::string& to) {
    RemoveLeftoverTemporaries(AT_FDCWD, to);
    // A second name made beside to and renamed over it, so an older copy is replaced in one step.
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        const std::string candidate = TemporaryFor(to, attempt);
        if (::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, candidate.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            if (::rename(candidate.c_str(), to.c_str()) == 0) return true;
            const int saved = errno;
            ::unlink(candidate.c_str());
            errno = saved;
            return false;
        }
        if (errno != EEXIST) break;
    }
    // No hard links here (another file system, or one without them): the bytes are copied.
    Descriptor source(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    std::string bytes;
    if (!source.Valid() || ::fstat(source.Get(), &info) != 0 || !ReadToEnd(source.Get(), bytes)) return false;
    return ReplaceFile(AT_FDCWD, to, bytes, info.st_mode & 07777);
}

}  // namespace tolva
