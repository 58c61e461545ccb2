#include "platform/folder_walk.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "platform/ascii.h"

namespace tolva {

FileId IdOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

bool IdOfDescriptor(int fd, FileId& id) {
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) return false;
    id = IdOf(info);
    return true;
}

Descriptor OpenFolderAt(int parent, const std::string& name) {
    return Descriptor(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

Descriptor OpenFolderThroughLinksAt(int parent, const std::string& name) {
    return Descriptor(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

Descriptor OpenParentOf(int fd, FileId expected) {
    Descriptor parent(::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    FileId id;
    if (!IdOfDescriptor(parent.Get(), id) || id != expected) return Descriptor();
    return parent;
}

bool InsideTree(int fd, FileId top) {
    Descriptor current(::dup(fd));
    FileId id;
    if (!IdOfDescriptor(current.Get(), id)) return false;
    for (;;) {
        Descriptor parent(::openat(current.Get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        FileId parentId;
        if (!IdOfDescriptor(parent.Get(), parentId) || parentId == id) return false;  // the root
        if (parentId == top) return true;
        current = std::move(parent);
        id = parentId;
    }
}

unsigned char TypeThroughLinks(int folder, const std::string& name, unsigned char type, bool& linked) {
    struct stat info {};
    linked = false;
    if (type == DT_UNKNOWN) {
        if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
        if (!S_ISLNK(info.st_mode)) return S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
        type = DT_LNK;
    }
    if (type != DT_LNK) return type;
    linked = true;
    if (::fstatat(folder, name.c_str(), &info, 0) != 0) return DT_UNKNOWN;  // a dangling link
    return S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
}

std::string ResolvedPath(const std::string& path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : std::string();
}

// NTFS lists a folder in the order of its names compared in upper case; ties (names that
// differ only in case, possible on Linux) go by their bytes. Taking entries in this order
// makes a set read the same on every file system.
bool ListedBefore(const std::string& a, const std::string& b) {
    const int order = CompareIgnoringAsciiCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

bool IsUsableComponent(std::string_view name) {
    return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::size_t NameLimit(int folder) {
    long limit = ::fpathconf(folder, _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : kDefaultNameLimit;
}

std::size_t PathLimit(int folder) {
    long limit = ::fpathconf(folder, _PC_PATH_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : kDefaultPathLimit;
}

}  // namespace tolva
