#include "platform/descriptor.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstddef>

namespace tolva {

namespace {

constexpr std::size_t kReadBlock = 16 * 1024;

}  // namespace

bool ReadToEnd(int fd, std::string& bytes) {
    struct stat info {};
    // The size is a hint for one allocation; the file may still change while it is read.
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        bytes.reserve(bytes.size() + static_cast<std::size_t>(info.st_size));
    }
    char block[kReadBlock];
    for (;;) {
        ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        bytes.append(block, static_cast<std::size_t>(got));
    }
}

}  // namespace tolva
