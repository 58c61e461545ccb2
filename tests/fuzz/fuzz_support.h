#pragma once
// Helpers for the fuzz entry points: inputs live in memory files, so fuzzing never touches
// the disk or the network.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace tolva::fuzz {

// A memory-only file holding the input, reachable by a path that File can open.
class MemoryLocation {
public:
    MemoryLocation(const std::uint8_t* data, std::size_t size) {
        fd_ = ::memfd_create("tolva-fuzz", MFD_CLOEXEC);
        if (fd_ < 0) return;
        std::size_t done = 0;
        while (done < size) {
            ssize_t put = ::write(fd_, data + done, size - done);
            if (put <= 0) break;
            done += static_cast<std::size_t>(put);
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }
    ~MemoryLocation() {
        if (fd_ >= 0) ::close(fd_);
    }
    MemoryLocation(const MemoryLocation&) = delete;
    MemoryLocation& operator=(const MemoryLocation&) = delete;

    bool Ok() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace tolva::fuzz
